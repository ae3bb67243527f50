// On a real X11 desktop (run-with-atspi.sh): titles, placement, keys and the accessibility tree.
#include "WindowTest.h"
#include "app/Application.h"

namespace {

// Real input through the X server, as from the user's mouse and keyboard.
void xdotool(const QStringList& args) {
    QCOMPARE(QProcess::execute("xdotool", args), 0);
}

void pressKey(const QString& key) {
    xdotool({"key", key});
}

// A text property of the window as the window manager reads it (the part in quotes).
QString windowProperty(QWidget* window, const QString& name = "_NET_WM_NAME") {
    QProcess xprop;
    xprop.start("xprop", {"-id", QString::number(window->winId()), "-notype", name});
    xprop.waitForFinished();
    return QString::fromUtf8(xprop.readAllStandardOutput()).section(u'"', 1, -2);
}

// Each item as "caption [key shown]"; an item showing a key must not own it as well.
QStringList menuTexts(QMenu* menu) {
    QStringList out;
    for (QAction* a : menu->actions()) {
        QString t = a->isSeparator() ? "-" : a->text();
        const QString shown = t.section(u'\t', 1);
        t = t.section(u'\t', 0, 0);
        if (!shown.isEmpty())
            t += " [" + shown + "]";
        if (!a->shortcut().isEmpty())
            t += " [" + a->shortcut().toString(QKeySequence::NativeText) + "]";
        out << t;
    }
    return out;
}

// The editor pages, in the order of their nodes under "Konfiguration".
enum TreePage { Externanschluss, Berechtigungen, Rufverteilung };

// One object of the tree as the screen reader gets it ("part": an item of a menu bar or a combo).
struct TAccessibleNode {
    QJsonObject fields;

    QString text(const char* field) const { return fields[QLatin1String(field)].toString(); }
    bool has(const char* state) const {
        return fields[QLatin1String("states")].toArray().contains(QLatin1String(state));
    }
    // What the user can move the focus to or click now: what needs a name of its own.
    bool isControl() const {
        if (fields[QLatin1String("part")].toBool() || !has("showing"))
            return false;
        static const QStringList clickable = {"push button", "radio button", "check box"};
        return has("focusable") || clickable.contains(text("role"));
    }
};

// The active window's objects, read over the AT-SPI bus by a reader process while this one answers.
QList<TAccessibleNode> readAccessibilityTree() {
    QProcess reader;
    QEventLoop untilDone; // answers each of the reader's questions at once
    constexpr int MostMs = 60000;
    QObject::connect(&reader, &QProcess::finished, &untilDone, &QEventLoop::quit);
    QObject::connect(&reader, &QProcess::errorOccurred, &untilDone, &QEventLoop::quit);
    QTimer::singleShot(MostMs, &untilDone, &QEventLoop::quit);
    reader.start(QFINDTESTDATA("read-accessibility-tree.py"),
                 {QString::number(QCoreApplication::applicationPid())});
    untilDone.exec();
    if (reader.state() != QProcess::NotRunning || reader.exitCode() != 0) {
        qWarning("tree reader failed: %s", reader.readAllStandardError().constData());
        return {};
    }
    QList<TAccessibleNode> nodes;
    for (const QJsonValue& window : QJsonDocument::fromJson(reader.readAllStandardOutput()).array())
        if (window[QLatin1String("states")].toArray().contains(QLatin1String("active")))
            for (const QJsonValue& node : window[QLatin1String("nodes")].toArray())
                nodes << TAccessibleNode{node.toObject()};
    return nodes;
}

// The control a screen reader announces by `name`.
std::optional<TAccessibleNode> controlNamed(const QList<TAccessibleNode>& nodes,
                                            const QString& name) {
    for (const TAccessibleNode& node : nodes)
        if (node.isControl() && node.text("name") == name)
            return node;
    return std::nullopt;
}

constexpr int KeyDeliveryMs = 1000;

// Presses `key`; false if `state` does not change, as it does once the key is delivered.
template <class State> bool pressChanging(const QString& key, State state) {
    const auto before = state();
    pressKey(key);
    return QTest::qWaitFor([&] { return state() != before; }, KeyDeliveryMs);
}

// Presses `key` until `reached` holds, waiting for `state` to change after each press.
template <class State, class Reached>
bool pressUntil(const QString& key, State state, Reached reached) {
    constexpr int MostPresses = 60;
    for (int press = 0; press < MostPresses; ++press) {
        if (reached())
            return true;
        (void)pressChanging(key, state);
    }
    return false;
}

// Presses `key` until the control named `objectName` has the focus; false if it never gets it.
bool moveFocusTo(const QString& objectName, const QString& key = "Tab") {
    return pressUntil(key, QApplication::focusWidget, [&] {
        return QApplication::focusWidget() &&
               QApplication::focusWidget()->objectName() == objectName;
    });
}

// The controls Tab stops at, once round the window from the control that has the focus.
QList<QWidget*> tabStopsOnceRound() {
    constexpr int MostStops = 80;
    QWidget* start = QApplication::focusWidget();
    QList<QWidget*> stops{start};
    for (int press = 0; press < MostStops; ++press) {
        if (!pressChanging("Tab", QApplication::focusWidget) ||
            QApplication::focusWidget() == start)
            break; // nothing else takes the focus, or the round is done
        stops << QApplication::focusWidget();
    }
    return stops;
}

constexpr int ResultHoldMs = 6000;  // the programming result's hold, with room to spare
constexpr int DeviceFlowMs = 15000; // a read or a write of the simulated system

// Presses Enter on a result box once its OK takes keys (the programming result holds a while).
void confirmByKey(QWidget* box) {
    auto* ok = box->findChild<QAbstractButton*>("OKBtn");
    QVERIFY(QTest::qWaitForWindowActive(box));
    QVERIFY(QTest::qWaitFor([&] { return ok->isEnabled(); }, ResultHoldMs));
    pressKey("Return");
}

void everyGroupReachedByTab(const QFrame* page) {
    const QList<QWidget*> stops = tabStopsOnceRound();
    for (const QAbstractButton* b : page->findChildren<QAbstractButton*>()) {
        const bool radioNotChosen = qobject_cast<const QRadioButton*>(b) && !b->isChecked();
        if (b->isEnabled() && !radioNotChosen)
            QVERIFY2(stops.contains(b), qPrintable(b->objectName() + " not reached by Tab"));
    }
}

// Chooses `page` in the tree by keys (Home selects "Konfiguration", each Down the next node),
// checks that Tab reaches its groups, then presses `key` on the control named `objectName`.
void changeByKeys(TreePage page, const QFrame* panel, const QString& objectName,
                  const QString& key) {
    QVERIFY(moveFocusTo("TreeView1", "shift+Tab"));
    pressKey("Home");
    for (int down = 0; down <= page; ++down)
        pressKey("Down");
    QTRY_VERIFY(panel->isVisible());
    everyGroupReachedByTab(panel);
    QVERIFY(moveFocusTo(objectName));
    pressKey(key);
}

} // namespace

class TestDesktop : public QObject, AppWithSim {
    Q_OBJECT

private:
    TEditorPages* editor() const { return part<TEditorPages>(*form); }
    // The window shown and active with the factory configuration, no device, at `page` if given.
    void showWindow(std::optional<int> page = std::nullopt) {
        QVERIFY(showOffline());
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        if (page)
            editor()->TreeView1()->setCurrentItem(
                editor()->TreeView1()->topLevelItem(0)->child(*page));
    }

private slots:
    void init() {
        QTest::failOnWarning(QRegularExpression("[Aa]mbiguous"));
        openWindow();
    }
    void cleanup() { closeWindow(); }

    void titlesAsTheWindowManagerShowsThem() {
        closeWindow();
        openWindow(zuvexsim::silentPortOptions(1)); // the search dialog shows
        QString search, none;
        ModalAnswer searching("SuchenDlg", [&](QWidget* w) { search = windowProperty(w); });
        ModalAnswer offline(
            "KeineAnlageDlg",
            [&](QWidget* w) {
                none = windowProperty(w);
                pressButton(w, "OKBtn");
            },
            10000);
        form->show();
        QVERIFY(offline.seen());
        QCOMPARE(search, "Suchen");
        QCOMPARE(none, "Keine Zuvex 910k gefunden");
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QTRY_COMPARE(windowProperty(form.get()), "Zuvex 910k Konfigurator - Neu.zcf");
        // the task bar's name: the class part of WM_CLASS, the application name
        QVERIFY(windowProperty(form.get(), "WM_CLASS").endsWith("\"Zuvex 910k Konfigurator"));
        // centred, within the window manager's frame, which the program cannot know before showing
        constexpr int FrameSlack = 24;
        const QPoint centre = form->screen()->availableGeometry().center();
        QTRY_VERIFY((form->frameGeometry().center() - centre).manhattanLength() <= FrameSlack);
    }

    void keysAfterTheMenuBarHadTheFocus_data() {
        QTest::addColumn<QString>("key"); // as xdotool names it
        QTest::addColumn<QString>("action");
        QTest::newRow("Ctrl+N") << "ctrl+n" << QString("FileNew1");
        QTest::newRow("Ctrl+O") << "ctrl+o" << QString("FileOpen1");
        QTest::newRow("Ctrl+P") << "ctrl+p" << QString("Print1");
        QTest::newRow("Ctrl+S") << "ctrl+s" << QString("FileSave1"); // does nothing
        QTest::newRow("Ctrl+I") << "ctrl+i" << QString("HelpAbout1");
    }

    // The menu opened by the mouse and closed by Esc, then the key: its one action fires, no other.
    void keysAfterTheMenuBarHadTheFocus() {
        QFETCH(QString, key);
        QFETCH(QString, action);
        form->FileDialogProvider = [](const TFileDialogRequest&) { return QString(); };
        form->PrintDialogProvider = [](QPrinter&) { return false; };
        showWindow();
        ModalAnswer about("AboutBox", press("OKBtn")); // Ctrl+I's box
        QStringList fired;
        for (QAction* a : form->findChildren<QAction*>())
            connect(a, &QAction::triggered, [&fired, a] { fired << a->objectName(); });
        QMenuBar* bar = form->menuBar();
        const QPoint title = bar->mapToGlobal(
            bar->actionGeometry(part<QMenu>(*form, "File1")->menuAction()).center());
        xdotool(
            {"mousemove", QString::number(title.x()), QString::number(title.y()), "click", "1"});
        QTRY_VERIFY(part<QMenu>(*form, "File1")->isVisible());
        pressKey("Escape");
        QTRY_VERIFY(!part<QMenu>(*form, "File1")->isVisible());
        pressKey(key);
        QTRY_COMPARE(fired, QStringList{action});
        QTest::qWait(KeyDeliveryMs);
        QCOMPARE(fired, QStringList{action});
    }

    // The menus' items, each with the key its action owns, named in German.
    void menus() {
        QCOMPARE(
            menuTexts(part<QMenu>(*form, "File1")),
            (QStringList{"Neu erstellen [Strg+N]", "Ö&ffnen... [Strg+O]", "Konfiguration speichern",
                         "Konfiguration &auslesen", "Werkseinstellungen", "In Datei speichern...",
                         "-", "&Drucken... [Strg+P]", "Ducker einrichten...", "-", "&Beenden"}));
        QCOMPARE(menuTexts(part<QMenu>(*form, "Extras1")),
                 (QStringList{"Neue Firmware...", "&Neue PIN..."}));
        QCOMPARE(menuTexts(part<QMenu>(*form, "Help1")), (QStringList{"&Info... [Strg+I]"}));
        QCOMPARE(part<QMenu>(*form, "Help1")->menuAction()->property("hint").toString(),
                 "Hilfethemen");
        QCOMPARE(action(*form, "Upload")->text(), "Konfiguration &programmieren");
        QCOMPARE(action(*form, "FileOpen1")->property("hint").toString(),
                 "Öffnen|Eine Datei öffnen");
    }

    // Every control of a page or dialog has a name of its own; `inTabOrder`: Tab follows the list,
    // the order the controls stand in (top to bottom, left to right).
    void everyControlNamedOnce_data() {
        QTest::addColumn<QString>("dialog"); // empty: the main window
        QTest::addColumn<int>("page");
        QTest::addColumn<QStringList>("someNames");
        QTest::addColumn<bool>("inTabOrder");
        QTest::newRow("Externanschluss") << QString() << int(Externanschluss)
                                         << QStringList{"Externanrufe heranholen: ja",
                                                        "Externanrufe heranholen: nein",
                                                        "Amtsholung: automatisch",
                                                        "Drucken",
                                                        "Seiten",
                                                        "Hilfe"}
                                         << false;
        QTest::newRow("Berechtigungen")
            << QString() << int(Berechtigungen)
            << QStringList{"Anschluss 1 (21): amtsberechtigt", "Anschluss 4 (24): türberechtigt",
                           "Anschluss 2 (22): Gerätetyp Telefon/Fax/Kombigerät"}
            << false;
        QTest::newRow("Rufverteilung")
            << QString() << int(Rufverteilung)
            << QStringList{"Anschluss 3 (23): Klingeltaste 2", "Anschluss 1 (21): Externanruf",
                           "Türrufe an allen Anschlüssen signalisieren"}
            << false;
        QTest::newRow("search") << QString("SuchenDlg") << int(Externanschluss)
                                << QStringList{"OK", "Abbrechen"} << false;
        QTest::newRow("no device") << QString("KeineAnlageDlg") << int(Externanschluss)
                                   << QStringList{"Offline", "Suchen"} << true;
        QTest::newRow("port") << QString("PortDialog") << int(Externanschluss)
                              << QStringList{"COM1", "COM4", "OK"} << false;
        QTest::newRow("port list")
            << QString("WaehleComPortDlg") << int(Externanschluss)
            << QStringList{"COM-Schnittstelle wählen", "OK", "Abbrechen"} << true;
        QTest::newRow("firmware") << QString("FirmwareDlg") << int(Externanschluss)
                                  << QStringList{"Hinweise", "Datei", "Firmwaredatei auswählen",
                                                 "Start", "Abbrechen"}
                                  << true;
        QTest::newRow("PIN") << QString("NeuePINDlg") << int(Externanschluss)
                             << QStringList{"Alte PIN", "Neue PIN", "Neue PIN (Wiederholung)"}
                             << false;
        QTest::newRow("question") << QString("HinweisBox") << int(Externanschluss)
                                  << QStringList{"Meldung", "Ja", "Nein"} << false;
    }
    void everyControlNamedOnce() {
        QFETCH(QString, dialog);
        QFETCH(int, page);
        QFETCH(QStringList, someNames);
        QFETCH(bool, inTabOrder);
        showWindow(page);
        QList<TAccessibleNode> nodes;
        QStringList tabStops;
        if (dialog.isEmpty())
            nodes = readAccessibilityTree();
        else
            runDialog(::dialog<QDialog>(qPrintable(dialog)), [&] {
                nodes = readAccessibilityTree();
                for (QWidget* stop : inTabOrder ? tabStopsOnceRound() : QList<QWidget*>())
                    tabStops << QAccessible::queryAccessibleInterface(stop)->text(
                        QAccessible::Name);
            });
        QVERIFY(!nodes.isEmpty());
        QStringList names;
        for (const TAccessibleNode& node : nodes) {
            if (!node.isControl())
                continue;
            const QString name = node.text("name");
            QVERIFY2(!name.isEmpty(), qPrintable("a " + node.text("role") + " without a name"));
            QVERIFY2(!names.contains(name), qPrintable("two controls named " + name));
            names << name;
        }
        for (const QString& name : someNames)
            QVERIFY2(names.contains(name), qPrintable("no control named " + name));
        if (!inTabOrder)
            return;
        // the round starts wherever the dialog puts the focus
        const qsizetype first = tabStops.indexOf(someNames.first());
        QVERIFY(first >= 0);
        QCOMPARE(tabStops.mid(first) + tabStops.mid(0, first), someNames);
    }

    // The help text shown for a control under the mouse is the screen reader's description.
    void descriptionIsTheHelpText_data() {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("control");
        QTest::newRow("Amtsholung") << int(Externanschluss) << "RBAmtsholungNein";
        QTest::newRow("device type") << int(Berechtigungen) << "RBTfe23";
        QTest::newRow("permission") << int(Berechtigungen) << "CBtb22";
        QTest::newRow("bell button") << int(Rufverteilung) << "CBTaste4Ruf24";
        QTest::newRow("door calls off") << int(Rufverteilung) << "ButtonTlnAus";
        QTest::newRow("print button") << int(Rufverteilung) << "ToolButton10";
        QTest::newRow("read button") << int(Rufverteilung) << "SpeedButton2";
    }
    void descriptionIsTheHelpText() {
        QFETCH(int, page);
        QFETCH(QString, control);
        showWindow(page);
        auto* widget = form->findChild<QWidget*>(control);
        QVERIFY(widget);
        QTextEdit* help = part<THelpPanel>(*form)->InfoText();
        help->clear();
        const QPoint centre = widget->mapToGlobal(widget->rect().center());
        xdotool({"mousemove", QString::number(centre.x()), QString::number(centre.y())});
        QTRY_VERIFY(!help->toPlainText().isEmpty());
        const QString name = QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
        const std::optional<TAccessibleNode> node = controlNamed(readAccessibilityTree(), name);
        QVERIFY(node);
        QCOMPARE(node->text("description"), help->toPlainText());
    }

    // The states the rules set reach the screen reader at once.
    void statesFollowTheRules_data() {
        QTest::addColumn<QString>("clicked");
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("control");
        QTest::addColumn<bool>("checked");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("TFE: amtsberechtigt off")
            << "RBTfe22" << int(Berechtigungen) << "Anschluss 2 (22): amtsberechtigt" << false
            << false;
        QTest::newRow("TFE: nichtamtsberechtigt on")
            << "RBTfe22" << int(Berechtigungen) << "Anschluss 2 (22): nichtamtsberechtigt" << true
            << true;
        QTest::newRow("TFE: no external calls")
            << "RBTfe22" << int(Rufverteilung) << "Anschluss 2 (22): Externanruf" << false << false;
        QTest::newRow("Anrufbeantworter: only one port")
            << "RBAnrufbeantworter23" << int(Berechtigungen)
            << "Anschluss 1 (21): Gerätetyp Anrufbeantworter" << false << false;
        QTest::newRow("not door-permitted: no bell button")
            << "CBtb21" << int(Rufverteilung) << "Anschluss 1 (21): Klingeltaste 1" << false
            << false;
        QTest::newRow("door calls off") << "ButtonTlnAus" << int(Rufverteilung)
                                        << "Anschluss 4 (24): Klingeltaste 3" << false << true;
        QTest::newRow("Wartemusik")
            << "RBWartemusikNein" << int(Externanschluss) << "Wartemusik: aus" << true << true;
    }
    void statesFollowTheRules() {
        QFETCH(QString, clicked);
        QFETCH(int, page);
        QFETCH(QString, control);
        QFETCH(bool, checked);
        QFETCH(bool, enabled);
        showWindow(page);
        form->findChild<QAbstractButton*>(clicked)->click();
        const std::optional<TAccessibleNode> node = controlNamed(readAccessibilityTree(), control);
        QVERIFY(node);
        QCOMPARE(node->has("checked"), checked);
        QCOMPARE(node->has("enabled"), enabled);
        QCOMPARE(node->has("sensitive"), enabled);
    }

    // A configuration by keys alone, saved to the system; on each page Tab reaches every group (a
    // radio group at its chosen button, arrows choose within) and every check box that can change.
    void keyboardAloneConfiguresAndSaves() {
        closeWindow();
        openWindow(simOptions());
        ModalAnswer read("ErgebnisDialog", confirmByKey, DeviceFlowMs);
        form->show();
        QVERIFY(read.waitSeen(DeviceFlowMs));
        QVERIFY(QTest::qWaitForWindowActive(form.get()));

        changeByKeys(Externanschluss, editor()->PanelLtg(), "RBHeranholenJa", "Down");
        QTRY_VERIFY(editor()->Heranholen().nein->isChecked());
        changeByKeys(Berechtigungen, editor()->PanelTln(), "RBvab21", "Down");
        QTRY_VERIFY(editor()->Port(1).hab->isChecked());
        changeByKeys(Rufverteilung, editor()->PanelRuf(), "CBTaste2Ruf23", "space");
        QTRY_VERIFY(!editor()->Port(3).taste[1]->isChecked());

        ModalAnswer result("ProgErgebnisDialog", confirmByKey, DeviceFlowMs);
        pressKey("alt"); // the menu bar takes the keys
        pressKey("Return");
        const QMenu* file = part<QMenu>(*form, "File1");
        const auto highlighted = [file] { return file->activeAction(); };
        QVERIFY(QTest::qWaitFor(highlighted, KeyDeliveryMs));
        QVERIFY(pressUntil("Down", highlighted, [file] {
            return file->activeAction()->objectName() == "FileSaveItem";
        }));
        pressKey("Return");
        QVERIFY(result.waitSeen(DeviceFlowMs));

        TEditorSettings expected = factorySettings();
        expected.heranholen = false;
        expected.ports[0].permission = Permission::Halbamtsberechtigt;
        expected.ports[2].klingeltaste[1] = false;
        QCOMPARE(decodeImage(sim->image()), expected);
    }
};

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    app.loadGermanTranslations();
    TestDesktop test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_desktop.moc"
