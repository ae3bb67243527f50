// The main window on a real X11 desktop with a window manager (run by run-under-x11.sh): the
// titles the window manager shows, keys pressed on the keyboard, the window's place.
#include "WindowTest.h"
#include "XInput.h"
#include "app/Application.h"
#include "tools/ZuvexSim.h"

namespace {

// A text property of the window as the window manager reads it, e.g. _NET_WM_NAME, the title
// it shows: `_NET_WM_NAME = "Zuvex 910k Konfigurator - Neu.zcf"` gives the part in quotes.
QString windowProperty(QWidget* window, const QString& name = QStringLiteral("_NET_WM_NAME")) {
    QProcess xprop;
    xprop.start(QStringLiteral("xprop"), {QStringLiteral("-id"), QString::number(window->winId()),
                                          QStringLiteral("-notype"), name});
    xprop.waitForFinished();
    return QString::fromUtf8(xprop.readAllStandardOutput()).section(u'"', 1, -2);
}

} // namespace

class TestDesktop : public QObject, AppWithSim {
    Q_OBJECT

private slots:
    void init() {
        QTest::failOnWarning(QRegularExpression(QStringLiteral("[Aa]mbiguous")));
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
        QCOMPARE(search, QStringLiteral("Suchen"));
        QCOMPARE(none, QStringLiteral("Keine Zuvex 910k gefunden"));
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QTRY_COMPARE(windowProperty(form.get()),
                     QStringLiteral("Zuvex 910k Konfigurator - Neu.zcf"));
        // the task bar's name: the class part of WM_CLASS, the application name
        QVERIFY(windowProperty(form.get(), QStringLiteral("WM_CLASS"))
                    .endsWith(QStringLiteral("\"Zuvex 910k Konfigurator")));
        form->findChild<QCheckBox*>("CBarb21")->click();
        QTRY_COMPARE(windowProperty(form.get()),
                     QStringLiteral("Zuvex 910k Konfigurator - Neu.zcf*"));
    }

    void keysAfterTheMenuBarHadTheFocus_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("action");
        const std::pair<const char*, const char*> rows[] = {
            {"Ctrl+N", "FileNew1"}, {"Ctrl+O", "FileOpen1"}, {"Ctrl+P", "Print1"}};
        for (const auto& [key, action] : rows)
            QTest::newRow(key) << QString(key).toLower() << QString(action); // as xdotool names it
    }

    // Open the menu "Konfiguration" with the mouse, close it with Esc, press the key: its one
    // action fires.
    void keysAfterTheMenuBarHadTheFocus() {
        QFETCH(QString, key);
        QFETCH(QString, action);
        form->FileDialogProvider = [](const TFileDialogRequest&) { return QString(); };
        form->PrintDialogProvider = [](QPrinter&) { return false; };
        QVERIFY(showOffline());
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        QSignalSpy fired(form->findChild<QAction*>(action), &QAction::triggered);
        QMenuBar* bar = form->menuBar();
        const QPoint title = bar->mapToGlobal(
            bar->actionGeometry(part<QMenu>(*form, "File1")->menuAction()).center());
        xdotool(
            {"mousemove", QString::number(title.x()), QString::number(title.y()), "click", "1"});
        QTRY_VERIFY(part<QMenu>(*form, "File1")->isVisible());
        pressKey("Escape");
        QTRY_VERIFY(!part<QMenu>(*form, "File1")->isVisible());
        pressKey(key);
        QTRY_COMPARE(fired.size(), 1);
        QTest::qWait(100);
        QCOMPARE(fired.size(), 1);
    }

    // The menu items show their action's key with the German key names.
    void menuShowsGermanKeyNames() {
        QCOMPARE(form->findChild<QAction*>("FileNewItem")->text(),
                 QStringLiteral("Neu erstellen\tStrg+N"));
        QCOMPARE(form->findChild<QAction*>("PrintItem")->text(),
                 QStringLiteral("&Drucken...\tStrg+P"));
    }

    void mainWindowInTheCentreOfTheDesktop() {
        QVERIFY(showOffline());
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        const QPoint centre = form->screen()->availableGeometry().center();
        // within the window manager's frame, which the program cannot know before showing
        QTRY_VERIFY2((form->frameGeometry().center() - centre).manhattanLength() <= 24,
                     qPrintable(QStringLiteral("frame %1,%2 %3x%4")
                                    .arg(form->frameGeometry().x())
                                    .arg(form->frameGeometry().y())
                                    .arg(form->frameGeometry().width())
                                    .arg(form->frameGeometry().height())));
    }
};

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    app.loadGermanTranslations();
    TestDesktop test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_desktop.moc"
