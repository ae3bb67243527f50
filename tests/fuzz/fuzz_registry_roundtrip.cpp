// Settings store round trip; the first byte chooses the kind of file and whether the rest is a
// string value (written, it reads back) or a whole file (its string values written back read back).
#include "RegistryExport.h"
#include "app/RegistryFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>

namespace {

const QString Key = QString::fromLatin1(TRegistryFile::ProgramKey);
const char* const Names[] = {"WorkDir", "File1", "File2", "File3", "File4"};

void put(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        std::abort();
}

// The values that read as strings; nullopt entries stay unread.
std::vector<std::optional<QString>> strings(const QString& path, bool& opened) {
    std::vector<std::optional<QString>> out;
    TRegistryFile reg(path);
    try {
        opened = reg.OpenKey(Key);
    } catch (const ERegistryError&) {
        opened = false;
    }
    for (const char* name : Names) {
        try {
            out.push_back(opened && reg.ValueExists(QString::fromLatin1(name))
                              ? std::optional(reg.ReadString(QString::fromLatin1(name)))
                              : std::nullopt);
        } catch (const ERegistryError&) {
            out.push_back(std::nullopt);
        }
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryDir dir;
    if (size < 1)
        return 0;
    const QString path = dir.filePath(QStringLiteral("registry.reg"));
    const QByteArray rest(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1));
    std::vector<std::optional<QString>> expected;
    if (data[0] & 0x80) {
        put(path, rest);
        bool opened = false;
        expected = strings(path, opened);
        if (!opened)
            return 0;
    } else {
        put(path, registryExport(TRegistryExport(data[0] % 3)));
        QString value(rest.size() / 2, Qt::Uninitialized);
        for (qsizetype i = 0; i < value.size(); ++i)
            value[i] = QChar(uchar(rest[2 * i]) | uchar(rest[2 * i + 1]) << 8);
        expected = {value, std::nullopt, std::nullopt, std::nullopt, std::nullopt};
    }
    TRegistryFile reg(path);
    if (!reg.OpenKey(Key))
        std::abort();
    for (std::size_t i = 0; i < expected.size(); ++i)
        if (expected[i])
            reg.WriteString(QString::fromLatin1(Names[i]), *expected[i]);
    reg.WriteInteger(QStringLiteral("COM"), 1);
    reg.CloseKey();
    bool opened = false;
    const auto again = strings(path, opened);
    for (std::size_t i = 0; i < expected.size(); ++i)
        if (expected[i] && again[i] != expected[i])
            std::abort();
    return 0;
}
