// Opens random .zcf files in the real main window, as the user does: a file of 60 bytes or
// more is taken as its first 60 bytes, and the image the editor rebuilds from it, saved,
// opened and saved again, comes back the same. Shorter files are left out (they end in a
// modal error box).
#include "WindowParts.h"
#include "app/AppFormProbe.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>

namespace {

TAppFormProbe& form() {
    static int argc = 1;
    static char name[] = "fuzz_zcf_roundtrip";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    static TAppFormProbe window;
    return window;
}

QByteArray bytesOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryDir dir;
    if (size < ConfigImageSize)
        return 0;
    TAppFormProbe& f = form();
    const QString in = dir.filePath(QStringLiteral("in.zcf"));
    const QString out = dir.filePath(QStringLiteral("out.zcf"));
    const QString again = dir.filePath(QStringLiteral("again.zcf"));
    QFile file(in);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(reinterpret_cast<const char*>(data), qsizetype(size)) != qsizetype(size))
        std::abort();
    file.close();
    QString answer;
    f.FileDialogProvider = [&](const TFileDialogRequest&) { return answer; };
    const auto run = [&](const char* actionName, const QString& path) {
        answer = path;
        action(f, actionName)->trigger(); // nothing changed since the last save: no question
    };
    run("FileOpen1", in);
    if (!std::equal(f.Image.begin(), f.Image.end(), data))
        std::abort();
    run("FileSaveAs1", out);
    run("FileOpen1", out);
    run("FileSaveAs1", again);
    if (bytesOf(out).size() != ConfigImageSize || bytesOf(again) != bytesOf(out))
        std::abort();
    return 0;
}
