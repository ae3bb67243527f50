// The packet collector as pure logic: bytes and a test clock in, events out.
#include "PacketArming.h"
#include "serial/DataPacket.h"
#include "serial/DataPacketManager.h"
#include "serial/SerialError.h"
#include "serial/Ticks.h"

#include <QTest>
#include <functional>

namespace {

struct Event {
    bool packet;
    QByteArray data;
    int64_t atMs;
};

// One port's worth of collecting, driven by hand.
struct Rig {
    int64_t now = 1000;
    TDataPacketManager manager{[this] { return now; }};
    TDataPacket packet;
    QList<Event> events;
    std::function<void()> onEvent; // runs inside the handler

    Rig() {
        packet.AutoEnable = false;
        packet.StartCond = scAnyData;
        packet.SetManager(&manager);
        packet.OnPacket = [this](TDataPacket* sender, const uint8_t* data, int size) {
            QCOMPARE(sender, &packet);
            events.append({true, QByteArray(reinterpret_cast<const char*>(data), size), now});
            if (onEvent)
                onEvent();
        };
        packet.OnTimeout = [this](TDataPacket* sender) {
            QCOMPARE(sender, &packet);
            events.append({false, {}, now});
            if (onEvent)
                onEvent();
        };
        manager.PortOpened();
    }

    void armSize(int size, int ticks) { armForSize(packet, size, ticks); }
    void armLine(int ticks = 12) { armForLine(packet, ticks); }
    void feed(const QByteArray& bytes) {
        manager.Receive(reinterpret_cast<const uint8_t*>(bytes.constData()),
                        std::size_t(bytes.size()));
    }
    // Advances the clock 1 ms at a time, checking the timer each time.
    void run(int64_t ms) {
        for (int64_t i = 0; i < ms; ++i) {
            ++now;
            manager.CheckTimers();
        }
    }
    QList<QByteArray> packets() const {
        QList<QByteArray> out;
        for (const Event& e : events)
            if (e.packet)
                out.append(e.data);
        return out;
    }
    int timeouts() const {
        int n = 0;
        for (const Event& e : events)
            n += e.packet ? 0 : 1;
        return n;
    }
};

QByteArray block(int size, char first = 0) {
    QByteArray b;
    for (int i = 0; i < size; ++i)
        b.append(char(first + i));
    return b;
}

} // namespace

class TestPacketCollector : public QObject {
    Q_OBJECT
private slots:
    void splitReads_data() {
        QTest::addColumn<bool>("line");
        QTest::addColumn<int>("size");
        QTest::addColumn<QList<QByteArray>>("reads");
        QTest::addColumn<QByteArray>("expected");

        QTest::newRow("identification 7 + 5")
            << true << 0 << QList<QByteArray>{"Zuvex 9", "10k\r\n"} << QByteArray("Zuvex 910k\r\n");
        QTest::newRow("CR CR LF in one read")
            << true << 0 << QList<QByteArray>{"\r\r\n"} << QByteArray("\r\r\n");
        QTest::newRow("CR CR LF in three reads")
            << true << 0 << QList<QByteArray>{"\r", "\r", "\n"} << QByteArray("\r\r\n");
        QTest::newRow("CR and LF split")
            << true << 0 << QList<QByteArray>{"1.07\r", "\nrest"} << QByteArray("1.07\r\n");
        QTest::newRow("LF alone does not end")
            << true << 0 << QList<QByteArray>{"a\nb\r", "\n"} << QByteArray("a\nb\r\n");
        QTest::newRow("61 bytes in 20 + 41")
            << false << 61 << QList<QByteArray>{block(20), block(41, 20)} << block(61);
        QTest::newRow("61 bytes one at a time") << false << 61 << [] {
            QList<QByteArray> r;
            for (char c : block(61))
                r.append(QByteArray(1, c));
            return r;
        }() << block(61);
        QTest::newRow("1 byte of two")
            << false << 1 << QList<QByteArray>{"\x06\x15"} << QByteArray("\x06");
    }
    void splitReads() {
        QFETCH(bool, line);
        QFETCH(int, size);
        QFETCH(QList<QByteArray>, reads);
        QFETCH(QByteArray, expected);
        Rig rig;
        if (line)
            rig.armLine();
        else
            rig.armSize(size, 18);
        for (const QByteArray& r : reads)
            rig.feed(r);
        QCOMPARE(rig.packets(), QList<QByteArray>{expected});
        QVERIFY(!rig.packet.Enabled());
        // what followed the packet was dropped: the collector is off
        QCOMPARE(rig.manager.BufferedBytes(), std::size_t(0));
    }

    void strayBytesAfterBlock_data() {
        QTest::addColumn<bool>("rearm");
        QTest::addColumn<QList<QByteArray>>("expected");
        QTest::newRow("not re-armed: dropped") << false << QList<QByteArray>{block(61)};
        QTest::newRow("re-armed for 1 byte: first stray completes")
            << true << QList<QByteArray>{block(61), QByteArray("X")};
    }
    void strayBytesAfterBlock() {
        QFETCH(bool, rearm);
        QFETCH(QList<QByteArray>, expected);
        Rig rig;
        rig.armSize(61, 18);
        rig.onEvent = [&] {
            if (rearm && rig.events.size() == 1)
                rig.armSize(1, 6);
        };
        rig.feed(block(61) + "XYZ");
        QCOMPARE(rig.packets(), expected);
        QCOMPARE(rig.manager.BufferedBytes(), std::size_t(0));
        // a later arming never sees the stray bytes
        rig.onEvent = nullptr;
        rig.armSize(1, 6);
        rig.feed("Q");
        QCOMPARE(rig.packets().last(), QByteArray("Q"));
    }

    void bytesWhileDisarmedNeverReported() {
        Rig rig;
        rig.feed("stale\r\n");
        rig.armLine();
        rig.feed("ok\r\n");
        rig.armSize(3, 6);
        rig.packet.SetEnabled(false);
        rig.feed("abc");
        rig.armSize(3, 6);
        rig.feed("def");
        QCOMPARE(rig.packets(), (QList<QByteArray>{"ok\r\n", "def"}));
    }

    void disarmDropsCollectedBytes() {
        Rig rig;
        rig.armSize(4, 6);
        rig.feed("ab");
        rig.packet.SetEnabled(false);
        rig.armSize(4, 6);
        rig.feed("cdef");
        QCOMPARE(rig.packets(), QList<QByteArray>{"cdef"});
    }

    void rearmInsideHandler() {
        Rig rig;
        rig.armLine();
        rig.onEvent = [&] {
            if (rig.events.size() < 3)
                rig.armLine();
        };
        rig.feed("A\r\nB\r\nC\r\nD\r\n");
        QCOMPARE(rig.packets(), (QList<QByteArray>{"A\r\n", "B\r\n", "C\r\n"}));
        QVERIFY(!rig.packet.Enabled());
    }

    void rearmInsideHandlerTakesSettingsWrittenAfter() {
        Rig rig;
        rig.armSize(2, 6);
        rig.onEvent = [&] {
            if (rig.events.size() == 1) {
                rig.packet.PacketSize = 1;
                rig.packet.SetEnabled(true);
                rig.packet.PacketSize = 3; // still inside the event: this one counts
            }
        };
        rig.feed("ab"
                 "cdef");
        QCOMPARE(rig.packets(), (QList<QByteArray>{"ab", "cde"}));
    }

    void timeOutZeroNeverFires() {
        Rig rig;
        rig.armSize(61, 0);
        rig.feed("partial");
        rig.now += 10'000'000;
        rig.manager.CheckTimers();
        rig.run(200);
        QCOMPARE(rig.timeouts(), 0);
        QVERIFY(rig.packet.Enabled());
    }

    void tickWindow_data() {
        QTest::addColumn<int>("ticks");
        QTest::addColumn<int64_t>("start");
        for (int ticks : {1, 6, 12, 18, 36})
            for (int64_t start : {0, 1, 27, 54, 55, 1'000'003})
                QTest::addRow("%d ticks from %lld", ticks, (long long)start) << ticks << start;
    }
    void tickWindow() {
        QFETCH(int, ticks);
        QFETCH(int64_t, start);
        Rig rig;
        rig.now = start;
        rig.armSize(61, ticks);
        rig.run((ticks + 2) * 55);
        QCOMPARE(rig.timeouts(), 1);
        const int64_t after = rig.events.first().atMs - start;
        QVERIFY2(after > ticks * 55 && after <= (ticks + 1) * 55,
                 qPrintable(QString::number(after)));
        // it fires exactly when the tick count passes the expiry tick
        QCOMPARE(serialticks::TickOf(rig.events.first().atMs),
                 serialticks::TickOf(start) + ticks + 1);
    }

    void timeoutWhileBytesKeepArriving() {
        Rig rig;
        rig.armSize(61, 18);
        while (rig.timeouts() == 0) {
            rig.feed("x");
            rig.run(50);
        }
        QVERIFY(rig.events.first().atMs - 1000 >= 990);
        QVERIFY(rig.packets().isEmpty());
        QCOMPARE(rig.manager.BufferedBytes(), std::size_t(0)); // discarded
    }

    void lateReplyAfterRearmedTimeout() {
        Rig rig;
        rig.armSize(4, 6);
        rig.onEvent = [&] {
            if (!rig.events.last().packet)
                rig.armSize(4, 6);
        };
        rig.feed("AB");
        rig.run(6 * 55 + 55);
        QCOMPARE(rig.timeouts(), 1);
        rig.feed("CDEF");
        QCOMPARE(rig.packets(), QList<QByteArray>{"CDEF"});
    }

    void packetWinsOverExpiryInSameWakeUp() {
        Rig rig;
        rig.armSize(2, 6);
        rig.feed("A");
        rig.now += 1000; // expired, but the timer is not looked at before the bytes
        rig.feed("B");
        rig.manager.CheckTimers();
        QCOMPARE(rig.packets(), QList<QByteArray>{"AB"});
        QCOMPARE(rig.timeouts(), 0);
    }

    void writesWhileArmedWaitForNextArming() {
        Rig rig;
        rig.armSize(3, 6);
        rig.packet.PacketSize = 1;
        rig.packet.TimeOut = 100;
        rig.packet.SetEnabled(true); // already armed: nothing changes
        rig.feed("a");
        QVERIFY(rig.packets().isEmpty());
        rig.run(7 * 55);
        QCOMPARE(rig.timeouts(), 1); // still the 6 ticks
        rig.packet.SetEnabled(true); // now PacketSize 1 and TimeOut 100 apply
        rig.feed("b");
        QCOMPARE(rig.packets(), QList<QByteArray>{"b"});
    }

    void armingErrors_data() {
        QTest::addColumn<unsigned>("ends");
        QTest::addColumn<QByteArray>("endString");
        QTest::addColumn<int>("size");
        QTest::addColumn<QString>("error");
        QTest::newRow("no end condition")
            << 0u << QByteArray("\r\n") << 1 << "CharCount packets must have an end-condition";
        QTest::newRow("empty end string")
            << unsigned(ecString) << QByteArray() << 1 << "End string is empty";
        QTest::newRow("zero size")
            << unsigned(ecPacketSize) << QByteArray("\r\n") << 0 << "Packet size cannot be zero";
        QTest::newRow("negative size")
            << unsigned(ecPacketSize) << QByteArray("\r\n") << -5 << "Packet size cannot be zero";
    }
    void armingErrors() {
        QFETCH(unsigned, ends);
        QFETCH(QByteArray, endString);
        QFETCH(int, size);
        QFETCH(QString, error);
        Rig rig;
        rig.packet.SetEndString(endString);
        rig.packet.EndCond = ends;
        rig.packet.PacketSize = size;
        try {
            rig.packet.SetEnabled(true);
            QFAIL("no error raised");
        } catch (const ESerialError& e) {
            QCOMPARE(e.message(), error);
        }
        QVERIFY(!rig.packet.Enabled());
        QCOMPARE(rig.packet.Mode(), dpIdle);
    }

    void endStringMatching_data() {
        QTest::addColumn<QByteArray>("endString");
        QTest::addColumn<bool>("ignoreCase");
        QTest::addColumn<bool>("include");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QByteArray>("expected"); // empty: no packet
        QTest::newRow("either case")
            << QByteArray("ok") << true << true << QByteArray("xxOK") << QByteArray("xxOK");
        QTest::newRow("case kept")
            << QByteArray("ok") << false << true << QByteArray("xxOK") << QByteArray();
        QTest::newRow("only letters fold")
            << QByteArray("\xe4") << true << true << QByteArray("a\xc4") << QByteArray();
        QTest::newRow("overlapping start")
            << QByteArray("aab") << true << true << QByteArray("aaab") << QByteArray("aaab");
        QTest::newRow("end string cut off")
            << QByteArray("\r\n") << true << false << QByteArray("1.07\r\n") << QByteArray("1.07");
    }
    void endStringMatching() {
        QFETCH(QByteArray, endString);
        QFETCH(bool, ignoreCase);
        QFETCH(bool, include);
        QFETCH(QByteArray, input);
        QFETCH(QByteArray, expected);
        Rig rig;
        rig.packet.IgnoreCase = ignoreCase;
        rig.packet.IncludeStrings = include;
        rig.packet.SetEndString(endString);
        rig.packet.EndCond = ecString;
        rig.packet.TimeOut = 0;
        rig.packet.SetEnabled(true);
        for (char c : input)
            rig.feed(QByteArray(1, c));
        QCOMPARE(rig.packets(), expected.isEmpty() ? QList<QByteArray>{} : QList{expected});
    }

    void setEndStringRearms() {
        Rig rig;
        rig.armLine();
        rig.feed("ab\r");
        rig.packet.SetEndString("!");
        QVERIFY(rig.packet.Enabled());
        rig.feed("\ncd!");
        QCOMPARE(rig.packets(), QList<QByteArray>{"\ncd!"});
    }

    void detachAndAttachAgain() {
        Rig rig;
        rig.armSize(2, 6);
        rig.feed("a");
        rig.packet.SetManager(nullptr);
        QVERIFY(!rig.packet.Enabled());
        rig.feed("b");
        rig.packet.SetManager(&rig.manager);
        QVERIFY(!rig.packet.Enabled());
        rig.armSize(2, 6);
        rig.feed("cd");
        QCOMPARE(rig.packets(), QList<QByteArray>{"cd"});
    }

    void closeAndOpenWhileArmedArmsWithFreshTimer() {
        Rig rig;
        rig.armSize(4, 6);
        rig.feed("ab");
        rig.run(300);
        rig.manager.PortClosing();
        QVERIFY(rig.packet.Enabled());
        rig.run(1000);
        QCOMPARE(rig.timeouts(), 0);
        const int64_t reopened = rig.now;
        rig.manager.PortOpened();
        QCOMPARE(rig.packet.Mode(), dpCollecting);
        rig.run(7 * 55);
        QCOMPARE(rig.timeouts(), 1);
        QVERIFY(rig.events.first().atMs - reopened >= 6 * 55);
    }

    void armingWhileClosedWaitsForPort() {
        Rig rig;
        rig.manager.PortClosing();
        rig.armSize(1, 6);
        QVERIFY(rig.packet.Enabled());
        QCOMPARE(rig.packet.Mode(), dpIdle);
        rig.feed("a"); // nothing arrives on a closed port
        rig.manager.PortOpened();
        rig.feed("b");
        QCOMPARE(rig.packets(), QList<QByteArray>{"b"});
    }

    void exceptionInHandlerIsReportedAndCollectingGoesOn() {
        QStringList reported;
        SetSerialErrorSink([&](const QString& text) { reported.append(text); });
        Rig rig;
        rig.armSize(1, 6);
        rig.onEvent = [&] {
            rig.packet.SetEnabled(true);
            if (rig.events.size() == 1)
                throw ESerialError(QStringLiteral("Der COM-Port ist nicht geöffnet."));
        };
        rig.feed("ab");
        SetSerialErrorSink(nullptr);
        QCOMPARE(reported, QStringList{"Der COM-Port ist nicht geöffnet."});
        QCOMPARE(rig.packets(), (QList<QByteArray>{"a", "b"}));
    }

    void autoEnableRearmsAfterPacket() {
        Rig rig;
        rig.packet.AutoEnable = true;
        rig.armSize(2, 0);
        rig.feed("abcdef");
        QCOMPARE(rig.packets(), (QList<QByteArray>{"ab", "cd", "ef"}));
        QVERIFY(rig.packet.Enabled());
    }

    void bufferGrowsForLongPackets() {
        Rig rig;
        rig.armSize(20000, 0);
        for (int i = 0; i < 10; ++i)
            rig.feed(QByteArray(1999, 'x'));
        QVERIFY(rig.packets().isEmpty());
        rig.feed("abcdefghyz"
                 "tail");
        QCOMPARE(rig.packets().size(), 1);
        QCOMPARE(rig.packets().first().size(), 20000);
        QCOMPARE(rig.packets().first().right(3), QByteArray("hyz"));
        QCOMPARE(rig.manager.BufferedBytes(), std::size_t(0));
    }
};

QTEST_GUILESS_MAIN(TestPacketCollector)
#include "tst_packetcollector.moc"
