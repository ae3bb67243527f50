#include "app/AppForm.h"
#include "link/LinkConversation.h"

#include "app/DialogFrame.h"
#include "app/Pictures.h"
#include "config/ApplicationHint.h"
#include "config/EditorPages.h"
#include "config/HelpPanel.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTextEdit>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

namespace {
constexpr int ClientWidth = 760;
constexpr int ClientHeight = 437;
constexpr int ToolBarHeight = 30;
constexpr int StatusBarHeight = 19;
} // namespace

void TAppForm::buildLayout() {
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFont(ProgramFont());
    setWindowIcon(programIcon());

    buildActions();
    buildMenus();
    buildToolBar();
    buildStatusBar();

    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("ClientArea"));
    const int pageHeight = ClientHeight - ToolBarHeight - StatusBarHeight;
    central->setFixedSize(ClientWidth, pageHeight);
    setCentralWidget(central);

    PanelTree = new QWidget(central);
    PanelTree->setObjectName(QStringLiteral("PanelTree"));
    PanelTree->setGeometry(0, 0, 161, 387);
    PanelPages = new QWidget(central);
    PanelPages->setObjectName(QStringLiteral("PanelPages"));
    PanelPages->setGeometry(161, 0, 368, 388);
    Help = new THelpPanel(central);

    Editor = new TEditorPages(PanelTree, PanelPages, this);
    Editor->MarkModified = [this] { MarkModified(); };
    connect(Editor, &TEditorPages::helpTopicRequested, Help, &THelpPanel::ShowHelpTopic);
    // Tab goes from the tree through the page to the help text, as they stand left to right.
    setTabOrder(Editor->ButtonTlnAus(), Help->InfoText());

    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

QAction* TAppForm::newAction(const char* name, const QString& caption, const QString& hint,
                             const QKeySequence& shortcut) {
    auto* a = new QAction(caption, this);
    a->setObjectName(QString::fromLatin1(name));
    // "tool tip|long hint": the tool tip part, the rest goes to the help panel
    a->setProperty("hint", hint);
    a->setToolTip(hint.section(QLatin1Char('|'), 0, 0));
    if (!shortcut.isEmpty()) {
        a->setShortcut(shortcut);
        a->setShortcutContext(Qt::WindowShortcut);
    }
    addAction(a);
    return a;
}

void TAppForm::buildActions() {
    FileNew1 =
        newAction("FileNew1", QStringLiteral("&Neu"), QStringLiteral("Neu|Neue Datei erstellen"),
                  QKeySequence(Qt::CTRL | Qt::Key_N));
    FileOpen1 =
        newAction("FileOpen1", QStringLiteral("Ö&ffnen..."),
                  QStringLiteral("Öffnen|Eine Datei öffnen"), QKeySequence(Qt::CTRL | Qt::Key_O));
    FileSave1 = newAction("FileSave1", QStringLiteral("&Speichern"),
                          QStringLiteral("Speichern|Aktuelle Datei speichern"),
                          QKeySequence(Qt::CTRL | Qt::Key_S));
    FileSaveAs1 =
        newAction("FileSaveAs1", QStringLiteral("Speichern &unter..."),
                  QStringLiteral("Speichern unter|Eine Datei unter einem anderen Namen speichern"));
    FileExit1 = newAction("FileExit1", QStringLiteral("&Beenden"),
                          QStringLiteral("Beenden|Das Programm beenden"));
    // Ctrl+P belongs to printing; the PIN change is offered in the "Extras" menu.
    NewPIN = newAction("NewPIN", QStringLiteral("&Neue PIN..."),
                       QStringLiteral("Neue PIN|Neue PIN für die Konfiguration vergeben"));
    Download = newAction("Download", QStringLiteral("Konfiguration &auslesen"), QString());
    Upload = newAction("Upload", QStringLiteral("Konfiguration &programmieren"), QString());
    Print1 = newAction("Print1", QStringLiteral("&Drucken..."),
                       QStringLiteral("Drucken|Druckt die aktive Konfiguration"),
                       QKeySequence(Qt::CTRL | Qt::Key_P));
    Print1->setIcon(printerIcon());
    Printer1 = newAction("Printer1", QStringLiteral("D&ruckereinrichtung..."),
                         QStringLiteral("Drucker einrichten|Drucker einrichten"));
    COMItem1 = newAction("COMItem1", QStringLiteral("&COM-Einstellungen"),
                         QStringLiteral("COM-Einstellungen|COM-Port festlegen"),
                         QKeySequence(Qt::CTRL | Qt::Key_E));
    HelpAbout1 = newAction("HelpAbout1", QStringLiteral("&Info..."),
                           QStringLiteral("Info|Zeigt Programmname, Version und Programmsymbol"),
                           QKeySequence(Qt::CTRL | Qt::Key_I));
    Werkseinstellung =
        newAction("Werkseinstellung", QStringLiteral("Werkseinstellungen"), QString());
    NeueFirmware1 = newAction("NeueFirmware1", QStringLiteral("Neue Firmware..."), QString());

    connect(FileNew1, &QAction::triggered, this, &TAppForm::FileNew1Execute);
    connect(FileOpen1, &QAction::triggered, this, &TAppForm::FileOpen1Execute);
    connect(FileSaveAs1, &QAction::triggered, this, &TAppForm::FileSaveAs1Execute);
    // FileSave1 ("&Speichern", Ctrl+S) deliberately does nothing.
    connect(FileExit1, &QAction::triggered, this, &TAppForm::close);
    connect(HelpAbout1, &QAction::triggered, this, &TAppForm::HelpAbout1Execute);
    connect(Print1, &QAction::triggered, this, &TAppForm::Print1Execute);
    connect(Printer1, &QAction::triggered, this, &TAppForm::Printer1Execute);
    connect(Werkseinstellung, &QAction::triggered, this, &TAppForm::WerkseinstellungExecute);
    connect(Download, &QAction::triggered, this,
            [this] { UpDownloadExecute(TLinkConversation::ReadOperation); });
    connect(Upload, &QAction::triggered, this,
            [this] { UpDownloadExecute(TLinkConversation::WriteOperation); });
    connect(COMItem1, &QAction::triggered, this, &TAppForm::COMItem1Execute);
}

void TAppForm::buildMenus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    MenuKonfiguration = bar->addMenu(QStringLiteral("Konfiguration"));
    MenuKonfiguration->setObjectName(QStringLiteral("File1"));
    MenuKonfiguration->menuAction()->setObjectName(QStringLiteral("File1"));
    // The menu items' own captions replace those of some actions. The action alone owns its
    // key, so that the key works wherever the focus is; the item only shows it.
    auto item = [this](const char* name, QAction* action, const QString& caption = QString()) {
        QString text = caption.isEmpty() ? action->text() : caption;
        if (!action->shortcut().isEmpty())
            text += u'\t' + action->shortcut().toString(QKeySequence::NativeText);
        auto* proxy = MenuKonfiguration->addAction(text);
        proxy->setObjectName(QString::fromLatin1(name));
        proxy->setProperty("hint", action->property("hint"));
        proxy->setIcon(action->icon());
        proxy->setEnabled(action->isEnabled());
        connect(proxy, &QAction::triggered, action, &QAction::trigger);
        connect(action, &QAction::enabledChanged, proxy, &QAction::setEnabled);
        return proxy;
    };
    item("FileNewItem", FileNew1, QStringLiteral("Neu erstellen"));
    item("FileOpenItem", FileOpen1);
    item("FileSaveItem", Upload, QStringLiteral("Konfiguration speichern"));
    item("AuslesenausderAnlage1", Download);
    item("Werkseinstellungen1", Werkseinstellung);
    item("FileSaveAsItem", FileSaveAs1, QStringLiteral("In Datei speichern..."));
    MenuKonfiguration->addSeparator();
    item("PrintItem", Print1);
    item("Druckereinrichtung1", Printer1, QStringLiteral("Ducker einrichten..."));
    MenuKonfiguration->addSeparator();
    item("FileExitItem", FileExit1);

    MenuExtras = bar->addMenu(QStringLiteral("Extras"));
    MenuExtras->setObjectName(QStringLiteral("Extras1"));
    MenuExtras->addAction(NeueFirmware1);
    MenuExtras->addAction(NewPIN);

    MenuHilfe = bar->addMenu(QStringLiteral("Hilfe"));
    MenuHilfe->setObjectName(QStringLiteral("Help1"));
    MenuHilfe->menuAction()->setProperty("hint", QStringLiteral("Hilfethemen"));
    MenuHilfe->addAction(HelpAbout1);
}

void TAppForm::buildToolBar() {
    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setFixedHeight(ToolBarHeight);
    ToolBar1->toggleViewAction()->setVisible(false);
    setContextMenuPolicy(Qt::NoContextMenu);
    addToolBar(Qt::TopToolBarArea, ToolBar1);

    // The buttons follow their actions but keep no tool tip of them: their short hint is empty.
    auto follow = [this](QAbstractButton* b, const char* name, QAction* action) {
        b->setObjectName(QString::fromLatin1(name));
        b->setEnabled(action->isEnabled());
        connect(b, &QAbstractButton::clicked, action, &QAction::trigger);
        connect(action, &QAction::enabledChanged, b, &QAbstractButton::setEnabled);
        ToolBar1->addWidget(b);
    };
    ToolButton10 = new QToolButton(ToolBar1);
    ToolButton10->setIcon(Print1->icon());
    ToolButton10->setAccessibleName(Hint::shortPart(Hint::of(Print1))); // the picture alone
    follow(ToolButton10, "ToolButton10", Print1);
    ToolBar1->addSeparator();
    auto wide = [&](const char* name, const QString& caption, QAction* action) {
        auto* b = new QPushButton(caption, ToolBar1);
        b->setFixedSize(197, 22);
        b->setFocusPolicy(Qt::NoFocus);
        follow(b, name, action);
        return b;
    };
    SpeedButton2 = wide("SpeedButton2", QStringLiteral("Konfiguration auslesen"), Download);
    SpeedButton1 = wide("SpeedButton1", QStringLiteral("Konfiguration speichern "), Upload);
}

void TAppForm::buildStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar1"));
    bar->setFixedHeight(StatusBarHeight);
    bar->setSizeGripEnabled(false);
    StatusPanel0 = new QLabel(bar);
    StatusPanel0->setObjectName(QStringLiteral("StatusPanel0"));
    StatusPanel0->setFixedWidth(250);
    StatusPanel1 = new QLabel(bar);
    StatusPanel1->setObjectName(QStringLiteral("StatusPanel1"));
    StatusPanel1->setFixedWidth(300);
    bar->addWidget(StatusPanel0);
    bar->addWidget(StatusPanel1);
}

void TAppForm::AssignHelpHints() {
    Editor->AssignHelpHints();
    const struct {
        QObject* object;
        int topic;
    } hints[] = {
        {Download, 5},
        {SpeedButton2, 5},
        {findChild<QAction*>(QStringLiteral("AuslesenausderAnlage1")), 5},
        {Upload, 6},
        {SpeedButton1, 6},
        {findChild<QAction*>(QStringLiteral("FileSaveItem")), 6},
        {Werkseinstellung, 7},
        {findChild<QAction*>(QStringLiteral("Werkseinstellungen1")), 7},
        {MenuKonfiguration->menuAction(), 8},
        {findChild<QAction*>(QStringLiteral("FileOpenItem")), 9},
        {findChild<QAction*>(QStringLiteral("FileSaveAsItem")), 10},
        {findChild<QAction*>(QStringLiteral("FileNewItem")), 11},
        {findChild<QAction*>(QStringLiteral("FileExitItem")), 12},
        {findChild<QAction*>(QStringLiteral("PrintItem")), 13},
        {ToolButton10, 13},
        {findChild<QAction*>(QStringLiteral("Druckereinrichtung1")), 14},
        {NeueFirmware1, 15},
    };
    for (const auto& h : hints)
        Hint::set(h.object, Hint::forTopic(h.topic));
    Help->DescribeControls(this);
}
