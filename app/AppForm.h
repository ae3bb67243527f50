#pragma once

#include "app/FileDialogs.h"
#include "app/MessageDialogs.h"
#include "app/PrintPlatform.h"
#include "app/WarningBoxes.h"
#include "config/ConfigImage.h"

#include <QMainWindow>
#include <QStringList>
#include <array>
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

// The main window: owns the editor, the image, the device link and every dialog.
class TAppForm : public QMainWindow {
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
    quint16 SearchPort = 0;
    ConfigImage Image{}; // ConfigImage
    ConfigImage ReceiveArea{};
    int LinkState = 0;     // IdleState ... PinNewState below
    int LinkOperation = 1; // ReadOperation, WriteOperation or PinOperation
    quint8 ImageChecksum = 0;
    int BytesSent = 0;
    int BytesToSend = 0;
    QString SearchLabelPrefix;
    int SendCursor = 0;
    QString DeviceText;
    bool Untitled = true;
    QStringList ReportLines;
    double PrintTopMargin = 1.0, PrintLeftMargin = 1.5, PrintRightMargin = 1.0;
    bool Modified = false;
    QString File1, File2, File3, File4;
    std::array<bool, 20> PortAvailable{};
    quint16 UsedComPort = 0;
    QString WorkDir;
    QString CurrentFile;
    QString DefaultFileName;
    QString ProgramTitle;

    // LinkState: which reply the link conversation awaits.
    static constexpr int IdleState = 0;
    static constexpr int IdentifyState = 1;     // the answer to "T\r" on a probed port
    static constexpr int VersionState = 2;      // the firmware version line
    static constexpr int ReadState = 3;         // the 60 image bytes and their checksum
    static constexpr int WriteCommandState = 4; // ACK of the write command
    static constexpr int WriteByteState = 5;    // ACK of an image byte
    static constexpr int ChecksumState = 6;     // ACK of the checksum
    static constexpr int LoadPromptState = 7;   // ">" after "U\r" (firmware update)
    static constexpr int LoadReadyState = 8;    // "L" after "<"
    // LinkState of the PIN exchange: ACK of ENQ, verdict on the old PIN, ACK of the new one.
    static constexpr int PinEnqState = 9, PinOldState = 10, PinNewState = 11;
    // LinkOperation: what the running conversation is for.
    static constexpr int ReadOperation = 1, WriteOperation = 2, PinOperation = 3;

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
    // Sets the caption, adds the lines, shows the box modally, clears its lines again.
    int ShowMessageDialog(TMessageDialog* dialog, const QString& caption, const QStringList& lines);
    void HelpAbout1Execute();

    // ---- device link ----
    std::unique_ptr<TSerialPort> ComPort1; // 57600 baud; opened by the search or a transfer
    std::unique_ptr<TDataPacket> DataPacket1;
    std::unique_ptr<TPortDialog> PortDialog;
    std::unique_ptr<TSuchenDlg> SuchenDlg;
    std::unique_ptr<TKeineAnlageDlg> KeineAnlageDlg;
    std::unique_ptr<TWaehleComPortDlg> WaehleComPortDlg;
    bool SearchRunning = false; // a search has started and neither found a device nor given up
    void StartTransfer();
    void UpDownloadExecute(int operation); // ReadOperation (Download), WriteOperation (Upload)
    void DataPacket1Packet(TDataPacket* Sender, const uint8_t* Data, int Size);
    void DataPacket1Timeout(TDataPacket* Sender);
    void SearchContinueMessage();
    void FirmwareReadyMessage();
    void SearchNextPort();
    bool ScanFreePorts();
    void COMItem1Execute();

    // ---- firmware update and PIN change ----
    std::unique_ptr<TFirmwareDlg> FirmwareDlg;
    std::unique_ptr<TNeuePINDlg> NeuePINDlg;
    QTimer* TimerFWUpdate = nullptr;  // 10 s watchdog of the loading-mode handshake
    std::array<char, 5> PinMessage{}; // "5" and the four digits of the new PIN
    std::array<char, 4> OldPin{};     // the four digits of the old PIN
    void NeueFirmware1Click();
    void StartFirmwareUpdate();
    void TimerFWUpdateTimer();
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
    void SetDeviceText(const QString& text);
    void ShowUsedComPort(); // panel 1 from UsedComPort
    // Ends the search and its dialog: the device has answered, the search has given up, or an
    // error has ended the transfer.
    void EndSearch();
    void CreateDeviceLink(); // port, collector and the link's dialogs; once, by the constructor
    void ComPort1Lost(const QString& text); // the device vanished; the port has closed itself
    void EndTransfer();       // closes the transfer box, whose close handler ends the transfer
    void TransferBoxClosed(); // that handler's link part: collector off, port buffers emptied
    void PostSearchContinueMessage(); // run after the collector event has returned
    void PostFirmwareReadyMessage();
    // A search from COM1 under the modal search dialog, unless it is showing already or the
    // search ended within its first probe.
    void RunDeviceSearch(bool clearPortLabel);
    void CloseDevicePort();       // when the program closes: close the port, wait 1000 ms
    void CreateFirmwareAndPin();  // their dialogs and the watchdog; once, by the constructor
    void StopFirmwareHandshake(); // the firmware dialog closed before the transfer
    void PinExchangePacket(uint8_t reply);

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
    // The conversation's requests: each arms the collector, sends and sets LinkState.
    void sendReadCommand();
    void sendWriteCommand(); // takes the image from the editor first
    // Shows the transfer box UpDownLoad with `caption`, not modally.
    void showTransferBox(const QString& caption);
    void runFirmwareTransfer(); // the transfer of FirmwareDlg, run to its end
};
