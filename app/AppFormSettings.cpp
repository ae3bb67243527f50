#include "app/AppForm.h"

#include "app/CloseOnSignal.h"
#include "app/RegistryKey.h"
#include "app/StartupErrors.h"
#include "link/LinkConversation.h"

#include <QMessageBox>

namespace {

void showPlainMessage(const QString& text) {
    if (TCloseOnSignal::Requested()) { // the program is ending on a signal: nobody answers a box
        startup::logFailure(text);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QString(), text, QMessageBox::Ok);
    box.setObjectName(QStringLiteral("SettingsErrorBox"));
    box.exec();
}

} // namespace

void TAppForm::LoadSettings() {
    const std::unique_ptr<TRegistryKey> reg = ProgramRegistryKey();
    try {
        if (!reg->OpenKey()) {
            WorkDir = currentFolder();
            Conversation->UsedComPort = 0;
            return;
        }
        WorkDir.clear();
        if (reg->ValueExists(QStringLiteral("WorkDir")))
            WorkDir = reg->ReadString(QStringLiteral("WorkDir"));
        if (WorkDir.isEmpty())
            WorkDir = currentFolder();
        else
            WorkDir = withSeparator(WorkDir); // a folder kept in a field ends with its separator

        if (reg->ValueExists(QStringLiteral("COM"))) {
            Conversation->UsedComPort =
                static_cast<quint16>(reg->ReadInteger(QStringLiteral("COM")) & 0xFFFF);
            if (Conversation->UsedComPort > 4) {
                Conversation->UsedComPort = 0;
                if (reg->Writable()) {
                    reg->WriteInteger(QStringLiteral("COM"), 0);
                    reg->Flush(); // at once, not only when the key is closed
                }
            }
        } else {
            Conversation->UsedComPort = 0;
        }

        QString* files[] = {&File1, &File2, &File3, &File4};
        for (int i = 0; i < 4; ++i) {
            const QString name = QStringLiteral("File%1").arg(i + 1);
            if (reg->ValueExists(name))
                *files[i] = reg->ReadString(name);
        }
        // Compaction: three single steps, in this order; it does not close every gap.
        if (File1.isEmpty()) {
            File1 = File2;
            File2 = File3;
            File3 = File4;
            File4.clear();
        }
        if (File2.isEmpty()) {
            File2 = File3;
            File3 = File4;
            File4.clear();
        }
        if (File3.isEmpty()) {
            File3 = File4;
            File4.clear();
        }
        reg->CloseKey();
    } catch (const ERegistryError& e) {
        showPlainMessage(e.text());
        WorkDir = currentFolder();
        Conversation->UsedComPort = 0;
    }
}

void TAppForm::SaveSettings() {
    const std::unique_ptr<TRegistryKey> reg = ProgramRegistryKey();
    try {
        // a settings key the user made read-only is a key that does not open for writing
        if (!reg->OpenKey() || !reg->Writable())
            return;
        reg->WriteString(QStringLiteral("WorkDir"), directoryPart(CurrentFile));
        reg->WriteInteger(QStringLiteral("COM"), Conversation->UsedComPort);
        reg->WriteString(QStringLiteral("File1"), File1);
        reg->WriteString(QStringLiteral("File2"), File2);
        reg->WriteString(QStringLiteral("File3"), File3);
        reg->WriteString(QStringLiteral("File4"), File4);
        reg->CloseKey(); // the file is written once, after the last value
    } catch (const ERegistryError& e) {
        showPlainMessage(e.text());
    }
}
