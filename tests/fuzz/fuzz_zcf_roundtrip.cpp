// Random .zcf files opened in the main window: their first 60 bytes, saved, opened and saved
// again, come back the same. Shorter files are left out (they end in a modal error box).
#include "TestHome.h"
#include "WindowParts.h"
#include "app/AppFormProbe.h"

#include <QApplication>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const TestHome files; // the window's settings home too: the user's stays untouched
    static int argc = 1;
    static char name[] = "fuzz_zcf_roundtrip";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    static TAppFormProbe f;
    if (size < ConfigImageSize)
        return 0;
    const QString in = files.writeFile(
        QStringLiteral("in.zcf"), QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (in.isEmpty())
        std::abort();
    const QString out = files.path(QStringLiteral("out.zcf"));
    const QString again = files.path(QStringLiteral("again.zcf"));
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
    if (fileBytes(out).size() != ConfigImageSize || fileBytes(again) != fileBytes(out))
        std::abort();
    return 0;
}
