#pragma once

#include "app/FileDialogs.h"
#include "app/MessageDialogs.h"
#include "app/PrintPlatform.h"
#include "app/WarningBoxes.h"
#include "config/ConfigImage.h"
#include "link/LinkView.h"

#include <QMainWindow>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>

class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QTimer;
class QToolBar;
class QToolButton;
class QWidget;
class TDataPacket;
class TEditorPages;
class TFirmwareDlg;
class TKeineAnlageDlg;
class TNeuePINDlg;
class TPortDialog;
class TSerialPort;
class TSuchenDlg;
class TWaehleComPortDlg;
class THelpPanel;
class TInputHold;
class TLinkConversation;

// The main window: owns the editor, the image, the device link and every dialog. It shows
// what the link conversation reports through TLinkView, with its dialogs.
class TAppForm : public QMainWindow, private TLinkView {
    Q_OBJECT
public:
    explicit TAppForm(QWidget* parent = nullptr);
    ~TAppForm() override;

private:
    // Everything below is the window's own; tests and benchmarks reach what they check
    // through TAppFormProbe (app/AppFormProbe.h) alone.
    friend class TAppFormProbe;

    // ---- fields shared by the whole program, in the window's order ----
    bool FirstShow = true;
    ConfigImage Image{}; // ConfigImage
    quint8 ImageChecksum = 0;
    bool Untitled = true;
    QStringList ReportLines;
    double PrintTopMargin = 1.0, PrintLeftMargin = 1.5, PrintRightMargin = 1.0;
    bool Modified = false;
    QString File1, File2, File3, File4;
    QString WorkDir;
    QString CurrentFile;
    QString DefaultFileName;
    QString ProgramTitle;

    // ---- the shared dialogs, created once with the window ----
    std::unique_ptr<TAboutBox> AboutBox;
    std::unique_ptr<TErrorDialog> ErrorDialog;
    std::unique_ptr<TUpDownLoad> UpDownLoad;
    std::unique_ptr<TProgErgebnisDialog> ProgErgebnisDialog;
    std::unique_ptr<THinweisBox> HinweisBox;
    std::unique_ptr<TErgebnisDialog> ErgebnisDialog;

    // ---- controls ----
    TEditorPages* Editor = nullptr;
    QToolBar* ToolBar1 = nullptr;
    QToolButton* ToolButton10 = nullptr;
    QPushButton* SpeedButton1 = nullptr; // "Konfiguration speichern " (Upload)
    QPushButton* SpeedButton2 = nullptr; // "Konfiguration auslesen" (Download)
    QWidget* PanelTree = nullptr;
    QWidget* PanelPages = nullptr;
    THelpPanel* Help = nullptr;
    QLabel* StatusPanel0 = nullptr; // DeviceText
    QLabel* StatusPanel1 = nullptr; // port in use
    QMenu* MenuKonfiguration = nullptr;
    QMenu* MenuExtras = nullptr;
    QMenu* MenuHilfe = nullptr;

    // ---- actions ----
    QAction *FileNew1, *FileOpen1, *FileSave1, *FileSaveAs1, *FileExit1;
    QAction *NewPIN, *Download, *Upload, *Print1, *Printer1, *COMItem1, *HelpAbout1;
    QAction *Werkseinstellung, *NeueFirmware1;

    // ---- caption and modified mark ----
    void MarkModified();
    void ClearModified();

    // ---- configuration image ----
    void EditorToImage(); // rebuilds the owned bytes and ImageChecksum
    void ImageToEditor();
    void NewConfiguration();
    void WerkseinstellungExecute();

    // ---- settings ----
    void LoadSettings();
    void SaveSettings();

    // ---- files ----
    bool QuerySaveChanges(const QString& secondLine);
    int SaveConfiguration();
    int SaveConfigurationAs();
    void OpenConfiguration();
    void FileNew1Execute();
    void FileOpen1Execute();
    void FileSaveAs1Execute();
    TFileDialogProvider FileDialogProvider; // the platform's dialogs unless a test replaces it

    // ---- printing ----
    void BuildReport(); // refills ReportLines from the editor's controls
    void Print1Execute();
    void Printer1Execute();
    std::shared_ptr<QPrinter> Printer;
    TPrintDialogProvider PrintDialogProvider = runPlatformPrintDialog;
    TPageSetupProvider PageSetupProvider = runPlatformPageSetupDialog;
    TReportSurfaceFactory ReportSurfaceFactory = makePrinterSurface;

    // ---- dialogs ----
    void HelpAbout1Execute();

    // ---- device link ----
    std::unique_ptr<TSerialPort> ComPort1; // 57600 baud; opened by the search or a transfer
    std::unique_ptr<TDataPacket> DataPacket1;
    QTimer* TimerFWUpdate = nullptr; // 10 s watchdog of the loading-mode handshake
    // The conversation with the device: its state, its flows, its pauses.
    std::unique_ptr<TLinkConversation> Conversation;
    std::unique_ptr<TPortDialog> PortDialog;
    std::unique_ptr<TSuchenDlg> SuchenDlg;
    std::unique_ptr<TKeineAnlageDlg> KeineAnlageDlg;
    std::unique_ptr<TWaehleComPortDlg> WaehleComPortDlg;
    void UpDownloadExecute(int operation); // ReadOperation (Download), WriteOperation (Upload)
    // The collector's packet, handed on to the conversation.
    void DataPacket1Packet(TDataPacket* Sender, const uint8_t* Data, int Size);
    void COMItem1Execute();

    // ---- firmware update and PIN change ----
    std::unique_ptr<TFirmwareDlg> FirmwareDlg;
    std::unique_ptr<TNeuePINDlg> NeuePINDlg;
    void NeueFirmware1Click();
    void NewPINExecute();

    // Called once, at the first showing of the window.
    void FormShow();
    bool FormCloseQuery();
    void FormClose();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // ---- reached only from the window's own files ----
    void UpdateCaption();
    QPrinter& CurrentPrinter(); // created at first use, kept with its settings for the run
    // Port, collector, watchdog, the conversation and the link's dialogs; once, by the
    // constructor.
    void CreateDeviceLink();
    void CreateFirmwareAndPin(); // their dialogs; once, by the constructor
    // Holds the user's input while the conversation pauses; it acts once the pause is over.
    std::unique_ptr<TInputHold> InputHold;
    bool ClosingStarted = false; // the close box was answered; the line is settling
    bool PortSettled = false;    // the port has closed and its line settled: the window may close

    // ---- TLinkView: what the conversation shows, with the window's dialogs ----
    void ShowTransferBox(const QString& caption) override;
    void HideTransferBox() override;
    void ShowResult(int operation, const QString& caption, const QStringList& lines) override;
    void ShowErrorBox(const QString& caption, const QStringList& lines) override;
    void ShowApplicationError(const QString& text) override;
    void ShowWarning(const QString& text) override;
    bool AskWarningQuestion(const QString& name, const QString& text) override;
    ConfigImage ImageToWrite() override;
    bool AnyExternalRing() override;
    void ImageRead(const ConfigImage& image) override;
    void ShowSearchLabel(const QString& text) override;
    void RunSearchDialog() override;
    void SearchEnded() override;
    bool NoDeviceFound(const QString& permissionLine) override;
    void ShowDeviceText(const QString& text) override;
    void ShowPortInUse(const QString& text) override;
    bool RunPortChoice() override;
    bool RunFirmwarePortChoice(const QStringList& entries) override;
    void RunFirmwareTransfer() override;
    void SetWaiting(bool waiting) override;
    void DropHeldInput() override;

    void buildLayout();
    void buildActions();
    void buildMenus();
    void buildToolBar();
    void buildStatusBar();
    void AssignHelpHints(); // help-topic numbers of the window's controls, actions and items
    QAction* newAction(const char* name, const QString& caption, const QString& hint,
                       const QKeySequence& shortcut = {});
    int writeImageToFile(const QString& path); // 0 written, -1 failed
    enum class SaveOutcome { Saved, Cancelled, Failed };
    SaveOutcome saveAs();
};
