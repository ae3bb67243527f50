// Opens random .zcf files in the real main window: a file of 60 bytes or more is taken as
// its first 60 bytes, and the image the editor rebuilds from it, saved and opened again,
// comes back the same. Shorter files are left out (they end in a modal error box).
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryDir dir;
    if (size < ConfigImageSize)
        return 0;
    TAppFormProbe& f = form();
    const QString in = dir.filePath(QStringLiteral("in.zcf"));
    const QString out = dir.filePath(QStringLiteral("out.zcf"));
    QFile file(in);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(reinterpret_cast<const char*>(data), qsizetype(size)) != qsizetype(size))
        std::abort();
    file.close();
    QString answer = in;
    f.FileDialogProvider = [&](const TFileDialogRequest&) { return answer; };
    f.OpenConfiguration();
    if (!std::equal(f.Image.begin(), f.Image.end(), data))
        std::abort();
    answer = out;
    if (f.SaveConfigurationAs() != 0)
        std::abort();
    const ConfigImage saved = f.Image;
    f.OpenConfiguration();
    f.EditorToImage();
    if (f.Image != saved)
        std::abort();
    return 0;
}
