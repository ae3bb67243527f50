// The packet collector as pure logic: bytes and a test clock in, events out.
#include "PacketArming.h"
#include "StepScript.h"
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
    QString error;

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
    void armForString(bool ignoreCase, bool include, const QByteArray& endString) {
        packet.IgnoreCase = ignoreCase;
        packet.IncludeStrings = include;
        packet.SetEndString(endString);
        packet.EndCond = ecString;
        packet.TimeOut = 0;
        packet.SetEnabled(true);
    }
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
    // Runs one step of a script; the ones starting with "?" check the state (see script_data).
    void step(const QByteArray& line) {
        const QList<QByteArray> w = line.split(' ');
        const auto arg = [&](int i) { return w.value(i).toLongLong(); };
        const QByteArray verb = w.first();
        if (verb == "size")
            armSize(int(arg(1)), int(arg(2)));
        else if (verb == "line")
            armLine();
        else if (verb == "feed")
            feed(line.mid(5));
        else if (verb == "drip") // one byte at a time
            for (char c : line.mid(5))
                feed(QByteArray(1, c));
        else if (verb == "off")
            packet.SetEnabled(false);
        else if (verb == "on") // an arming the packet refuses leaves its message in `error`
            try {
                packet.SetEnabled(true);
            } catch (const ESerialError& e) {
                error = e.message();
            }
        else if (verb == "ends") // by an end string: ends <ignore case> <include it> <string>
            armForString(arg(1), arg(2), w.value(3));
        else if (verb == "endcond")
            packet.EndCond = w.value(1) == "string" ? unsigned(ecString)
                             : w.value(1) == "size" ? unsigned(ecPacketSize)
                                                    : 0u;
        else if (verb == "psize")
            packet.PacketSize = int(arg(1));
        else if (verb == "ticks")
            packet.TimeOut = int(arg(1));
        else if (verb == "end")
            packet.SetEndString(w.value(1));
        else if (verb == "auto")
            packet.AutoEnable = true;
        else if (verb == "run")
            run(arg(1));
        else if (verb == "skip") // the clock moves on without the timer being looked at
            now += arg(1);
        else if (verb == "check")
            manager.CheckTimers();
        else if (verb == "close")
            manager.PortClosing();
        else if (verb == "open")
            manager.PortOpened();
        else if (verb == "detach")
            packet.SetManager(nullptr);
        else if (verb == "attach")
            packet.SetManager(&manager);
        else if (verb == "?enabled")
            QCOMPARE(packet.Enabled(), arg(1) != 0);
        else if (verb == "?collecting")
            QCOMPARE(packet.Mode(), arg(1) ? dpCollecting : dpIdle);
        else if (verb == "?packets")
            QCOMPARE(packets().size(), qsizetype(arg(1)));
        else if (verb == "?timeouts")
            QCOMPARE(timeouts(), int(arg(1)));
        else if (verb == "?error")
            QCOMPARE(error, QString::fromUtf8(line.mid(7)));
        else if (verb == "?buffered")
            QCOMPARE(manager.BufferedBytes(), std::size_t(arg(1)));
        else
            QFAIL(line.constData());
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
    // Each row is a script of steps on one rig; `handler` runs inside the first event's handler.
    void script_data() {
        addScriptColumns();
        // A packet from reads split anywhere; what followed it is dropped: the collector is off.
        const Steps done{"?enabled 0", "?buffered 0"};
        QTest::newRow("identification 7 + 5")
            << Steps{"line", "feed Zuvex 9", "feed 10k\r\n"} + done << Steps{}
            << Packets{"Zuvex 910k\r\n"};
        QTest::newRow("CR CR LF in one read")
            << Steps{"line", "feed \r\r\n"} + done << Steps{} << Packets{"\r\r\n"};
        QTest::newRow("CR CR LF in three reads")
            << Steps{"line", "feed \r", "feed \r", "feed \n"} + done << Steps{}
            << Packets{"\r\r\n"};
        QTest::newRow("CR and LF split")
            << Steps{"line", "feed 1.07\r", "feed \nrest"} + done << Steps{} << Packets{"1.07\r\n"};
        QTest::newRow("LF alone does not end")
            << Steps{"line", "feed a\nb\r", "feed \n"} + done << Steps{} << Packets{"a\nb\r\n"};
        QTest::newRow("61 bytes in 20 + 41")
            << Steps{"size 61 18", "feed " + block(20), "feed " + block(41, 20)} + done << Steps{}
            << Packets{block(61)};
        Steps oneByOne{"size 61 18"};
        for (char c : block(61))
            oneByOne.append("feed " + QByteArray(1, c));
        QTest::newRow("61 bytes one at a time") << oneByOne + done << Steps{} << Packets{block(61)};
        QTest::newRow("1 byte of two")
            << Steps{"size 1 18", "feed \x06\x15"} + done << Steps{} << Packets{"\x06"};
        // bytes after a block: a later arming never sees them
        QTest::newRow("stray bytes, not re-armed: dropped")
            << Steps{"size 61 18", "feed " + block(61) + "XYZ", "?buffered 0", "size 1 6", "feed Q"}
            << Steps{} << Packets{block(61), "Q"};
        QTest::newRow("stray bytes, re-armed for 1 byte: first stray completes")
            << Steps{"size 61 18",  "feed " + block(61) + "XYZ",
                     "?buffered 0", "?packets 2",
                     "size 1 6",    "feed Q"}
            << Steps{"size 1 6"} << Packets{block(61), "X", "Q"};
        QTest::newRow("bytes while disarmed never reported")
            << Steps{"feed stale\r\n", "line",     "feed ok\r\n", "size 3 6", "off",
                     "feed abc",       "size 3 6", "feed def"}
            << Steps{} << Packets{"ok\r\n", "def"};
        QTest::newRow("disarming drops collected bytes")
            << Steps{"size 4 6", "feed ab", "off", "size 4 6", "feed cdef"} << Steps{}
            << Packets{"cdef"};
        QTest::newRow("re-arming in the handler takes settings written after")
            << Steps{"size 2 6", "feed abcdef"} << Steps{"psize 1", "on", "psize 3"}
            << Packets{"ab", "cde"};
        QTest::newRow("time-out 0 never fires")
            << Steps{"size 61 0", "feed partial", "skip 10000000", "check",
                     "run 200",   "?timeouts 0",  "?enabled 1"}
            << Steps{} << Packets{};
        QTest::newRow("late reply after a re-armed time-out")
            << Steps{"size 4 6", "feed AB", "run 385", "?timeouts 1", "feed CDEF"}
            << Steps{"size 4 6"} << Packets{"CDEF"};
        // the timer is not looked at before the bytes
        QTest::newRow("packet wins over expiry in the same wake-up")
            << Steps{"size 2 6", "feed A", "skip 1000", "feed B", "check", "?timeouts 0"} << Steps{}
            << Packets{"AB"};
        // already armed: new settings wait for the next arming, the 6 ticks still hold
        QTest::newRow("writes while armed wait for the next arming")
            << Steps{"size 3 6",   "psize 1", "ticks 100",   "on", "feed a",
                     "?packets 0", "run 385", "?timeouts 1", "on", "feed b"}
            << Steps{} << Packets{"b"};
        QTest::newRow("a new end string re-arms")
            << Steps{"line", "feed ab\r", "end !", "?enabled 1", "feed \ncd!"} << Steps{}
            << Packets{"\ncd!"};
        QTest::newRow("detach and attach again")
            << Steps{"size 2 6", "feed a",     "detach",   "?enabled 0", "feed b",
                     "attach",   "?enabled 0", "size 2 6", "feed cd"}
            << Steps{} << Packets{"cd"};
        // closed while armed: the timer stops; opened again, a fresh one runs its 6 ticks
        QTest::newRow("close and open while armed")
            << Steps{"size 4 6",    "feed ab",     "run 300",    "close",         "?enabled 1",
                     "run 1000",    "?timeouts 0", "open",       "?collecting 1", "run 329",
                     "?timeouts 0", "run 56",      "?timeouts 1"}
            << Steps{} << Packets{};
        // nothing arrives on a closed port
        QTest::newRow("arming while closed waits for the port")
            << Steps{"close", "size 1 6", "?enabled 1", "?collecting 0", "feed a", "open", "feed b"}
            << Steps{} << Packets{"b"};
        QTest::newRow("end string in either case")
            << Steps{"ends 1 1 ok", "drip xxOK"} << Steps{} << Packets{"xxOK"};
        QTest::newRow("end string, case kept")
            << Steps{"ends 0 1 ok", "drip xxOK"} << Steps{} << Packets{};
        QTest::newRow("end string: only letters fold")
            << Steps{"ends 1 1 \xe4", "drip a\xc4"} << Steps{} << Packets{};
        QTest::newRow("end string, overlapping start")
            << Steps{"ends 1 1 aab", "drip aaab"} << Steps{} << Packets{"aaab"};
        QTest::newRow("end string cut off")
            << Steps{"ends 1 0 \r\n", "drip 1.07\r\n"} << Steps{} << Packets{"1.07"};
        // a refused arming leaves the packet off and idle; `end` is the end string step
        const auto refused = [](const char* end, const char* cond, const char* size,
                                const char* error) {
            return Steps{end,
                         QByteArray("endcond ") + cond,
                         QByteArray("psize ") + size,
                         "on",
                         "?enabled 0",
                         "?collecting 0",
                         QByteArray("?error ") + error};
        };
        QTest::newRow("arming without an end condition")
            << refused("end \r\n", "none", "1", "CharCount packets must have an end-condition")
            << Steps{} << Packets{};
        QTest::newRow("arming with an empty end string")
            << refused("end", "string", "1", "End string is empty") << Steps{} << Packets{};
        QTest::newRow("arming for zero bytes")
            << refused("end \r\n", "size", "0", "Packet size cannot be zero") << Steps{}
            << Packets{};
        QTest::newRow("arming for a negative size")
            << refused("end \r\n", "size", "-5", "Packet size cannot be zero") << Steps{}
            << Packets{};
        QTest::newRow("auto-enable re-arms after each packet")
            << Steps{"auto", "size 2 0", "feed abcdef", "?enabled 1"} << Steps{}
            << Packets{"ab", "cd", "ef"};
    }
    void script() {
        QFETCH(QList<QByteArray>, steps);
        QFETCH(QList<QByteArray>, handler);
        QFETCH(QList<QByteArray>, expected);
        Rig rig;
        rig.onEvent = [&] {
            if (rig.events.size() == 1)
                for (const QByteArray& line : handler)
                    rig.step(line);
        };
        for (const QByteArray& line : steps) {
            rig.step(line);
            if (QTest::currentTestFailed())
                QFAIL(line.constData());
        }
        QCOMPARE(rig.packets(), expected);
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
