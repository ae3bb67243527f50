// The packet collector as pure logic: bytes and a test clock in, events out.
#include "PacketRecorder.h"
#include "serial/SerialError.h"

#include <QTest>

using CollectorScenario = std::function<void(CollectorRig&)>;
using Reads = QList<QByteArray>;

namespace {

using namespace LinkProtocol;

constexpr unsigned NoEndCondition = 0;

QByteArray block(int size) {
    QByteArray b;
    for (int i = 0; i < size; ++i)
        b.append(char(i));
    return b;
}

CollectorScenario forLine() {
    return [](CollectorRig& rig) { rig.armForLine(); };
}
CollectorScenario forBytes(int size) {
    return [size](CollectorRig& rig) { rig.armForBlock(size, BlockWait); };
}
CollectorScenario forEnd(const QByteArray& end, Case letterCase, EndString endString) {
    return [=](CollectorRig& rig) { rig.armForEndString(end, letterCase, endString); };
}

QList<QByteArray> eachByteOf(const QByteArray& bytes) {
    QList<QByteArray> out;
    for (char byte : bytes)
        out.append(QByteArray(1, byte));
    return out;
}

} // namespace

class TestPacketCollector : public QObject {
    Q_OBJECT
private slots:
    // A packet from reads split anywhere, the rest dropped; without its end it is still collected.
    void packetFromSplitReads_data() {
        QTest::addColumn<CollectorScenario>("arming");
        QTest::addColumn<Reads>("reads");
        QTest::addColumn<Packets>("expected");
        constexpr int FirstRead = 20;
        const QByteArray image = block(ImageBlockSize);
        const QByteArray ackNak{char(Ack), char(Nak)};
        QTest::newRow("identification 7 + 5")
            << forLine() << Reads{"Zuvex 9", "10k\r\n"} << Packets{"Zuvex 910k\r\n"};
        QTest::newRow("CR CR LF in one read") << forLine() << Reads{"\r\r\n"} << Packets{"\r\r\n"};
        QTest::newRow("CR CR LF in three reads")
            << forLine() << eachByteOf("\r\r\n") << Packets{"\r\r\n"};
        QTest::newRow("CR and LF split")
            << forLine() << Reads{"1.07\r", "\nrest"} << Packets{"1.07\r\n"};
        QTest::newRow("LF alone does not end")
            << forLine() << Reads{"a\nb\r", "\n"} << Packets{"a\nb\r\n"};
        QTest::newRow("61 bytes in 20 + 41")
            << forBytes(ImageBlockSize) << Reads{image.left(FirstRead), image.mid(FirstRead)}
            << Packets{image};
        QTest::newRow("61 bytes one at a time")
            << forBytes(ImageBlockSize) << eachByteOf(image) << Packets{image};
        QTest::newRow("1 byte of two")
            << forBytes(OneByte) << Reads{ackNak} << Packets{ackNak.left(OneByte)};
        QTest::newRow("end string in either case")
            << forEnd("ok", Case::Ignored, EndString::Included) << eachByteOf("xxOK")
            << Packets{"xxOK"};
        QTest::newRow("end string, case kept")
            << forEnd("ok", Case::Kept, EndString::Included) << eachByteOf("xxOK") << Packets{};
        QTest::newRow("end string: only letters fold")
            << forEnd("\xe4", Case::Ignored, EndString::Included) << eachByteOf("a\xc4")
            << Packets{};
        QTest::newRow("end string with an overlapping start")
            << forEnd("aab", Case::Ignored, EndString::Included) << eachByteOf("aaab")
            << Packets{"aaab"};
        QTest::newRow("end string cut off") << forEnd(LineEnd, Case::Ignored, EndString::CutOff)
                                            << eachByteOf("1.07\r\n") << Packets{"1.07"};
    }
    void packetFromSplitReads() {
        QFETCH(CollectorScenario, arming);
        QFETCH(Reads, reads);
        QFETCH(Packets, expected);
        CollectorRig rig;
        arming(rig);
        for (const QByteArray& read : reads)
            rig.bytesArrive(read);
        QCOMPARE(rig.packets, expected);
        QCOMPARE(rig.packet.Enabled(), expected.isEmpty());
        QCOMPARE(rig.manager.BufferedBytes(),
                 expected.isEmpty() ? std::size_t(reads.join().size()) : 0);
    }

    // Each row drives one rig by hand; `expected` are the packets delivered.
    void scenario_data() {
        QTest::addColumn<CollectorScenario>("scenario");
        QTest::addColumn<Packets>("expected");
        const QByteArray image = block(ImageBlockSize);
        // bytes after a block: a later arming never sees them
        addScenario("stray bytes, not re-armed: dropped", {image, "Q"}, [=](CollectorRig& rig) {
            rig.armForBlock(ImageBlockSize, BlockWait);
            rig.bytesArrive(image + "XYZ");
            QCOMPARE(rig.manager.BufferedBytes(), std::size_t(0));
            rig.armForBlock(OneByte, AckWait);
            rig.bytesArrive("Q");
        });
        addScenario("stray bytes, re-armed for 1 byte: first stray completes", {image, "X", "Q"},
                    [=](CollectorRig& rig) {
                        rig.armForBlock(ImageBlockSize, BlockWait);
                        rig.onFirstEvent([&rig] { rig.armForBlock(OneByte, AckWait); });
                        rig.bytesArrive(image + "XYZ");
                        QCOMPARE(rig.manager.BufferedBytes(), std::size_t(0));
                        QCOMPARE(rig.packets.size(), 2);
                        rig.armForBlock(OneByte, AckWait);
                        rig.bytesArrive("Q");
                    });
        addScenario("bytes while disarmed never reported", {"ok\r\n", "def"},
                    [](CollectorRig& rig) {
                        rig.bytesArrive("stale\r\n");
                        rig.armForLine();
                        rig.bytesArrive("ok\r\n");
                        rig.armForSizeOf("abc", AckWait);
                        rig.packet.SetEnabled(false);
                        rig.bytesArrive("abc");
                        rig.armForSizeOf("def", AckWait);
                        rig.bytesArrive("def");
                    });
        addScenario("disarming drops collected bytes", {"cdef"}, [](CollectorRig& rig) {
            rig.armForSizeOf("cdef", AckWait);
            rig.bytesArrive("ab");
            rig.packet.SetEnabled(false);
            rig.armForSizeOf("cdef", AckWait);
            rig.bytesArrive("cdef");
        });
        addScenario("re-arming in the handler takes settings written after", {"ab", "cde"},
                    [](CollectorRig& rig) {
                        const QByteArray second = "cde";
                        rig.armForSizeOf("ab", AckWait);
                        rig.onFirstEvent([&rig, second] {
                            rig.packet.PacketSize = OneByte;
                            rig.switchOn();
                            rig.packet.PacketSize = int(second.size());
                        });
                        rig.bytesArrive("abcdef");
                    });
        addScenario("time-out 0 never fires", {}, [](CollectorRig& rig) {
            rig.armForBlock(ImageBlockSize, NoTimeOut);
            rig.bytesArrive("partial");
            rig.clockJumps(std::chrono::hours(3));
            rig.manager.CheckTimers();
            rig.advanceClock(AckWait.latestFiring());
            QCOMPARE(rig.timeouts, 0);
            QVERIFY(rig.packet.Enabled());
        });
        addScenario("late reply after a re-armed time-out", {"CDEF"}, [](CollectorRig& rig) {
            rig.armForSizeOf("CDEF", AckWait);
            rig.onFirstEvent([&rig] { rig.armForSizeOf("CDEF", AckWait); });
            rig.bytesArrive("AB");
            rig.advanceClock(AckWait.latestFiring());
            QCOMPARE(rig.timeouts, 1);
            rig.bytesArrive("CDEF");
        });
        // the timer is not looked at before the bytes
        addScenario("packet wins over expiry in the same wake-up", {"AB"}, [](CollectorRig& rig) {
            rig.armForSizeOf("AB", AckWait);
            rig.bytesArrive("A");
            rig.clockJumps(BlockWait.duration());
            rig.bytesArrive("B");
            rig.manager.CheckTimers();
            QCOMPARE(rig.timeouts, 0);
        });
        // already armed: new settings wait for the next arming, the 6 ticks still hold
        addScenario("writes while armed wait for the next arming", {"b"}, [](CollectorRig& rig) {
            rig.armForSizeOf("abc", AckWait);
            rig.packet.PacketSize = OneByte;
            rig.packet.TimeOut = LongWait.count;
            QCOMPARE(rig.switchOn(), QString());
            rig.bytesArrive("a");
            QVERIFY(rig.packets.isEmpty());
            rig.advanceClock(AckWait.latestFiring());
            QCOMPARE(rig.timeouts, 1);
            QCOMPARE(rig.switchOn(), QString());
            rig.bytesArrive("b");
        });
        addScenario("a new end string re-arms", {"\ncd!"}, [](CollectorRig& rig) {
            rig.armForLine();
            rig.bytesArrive("ab\r");
            rig.packet.SetEndString("!");
            QVERIFY(rig.packet.Enabled());
            rig.bytesArrive("\ncd!");
        });
        addScenario("detach and attach again", {"cd"}, [](CollectorRig& rig) {
            rig.armForSizeOf("cd", AckWait);
            rig.bytesArrive("a");
            rig.packet.SetManager(nullptr);
            QVERIFY(!rig.packet.Enabled());
            rig.bytesArrive("b");
            rig.packet.SetManager(&rig.manager);
            QVERIFY(!rig.packet.Enabled());
            rig.armForSizeOf("cd", AckWait);
            rig.bytesArrive("cd");
        });
        // closed while armed: the timer stops; opened again, a fresh one runs its 6 ticks
        addScenario("close and open while armed", {}, [](CollectorRig& rig) {
            rig.armForSizeOf("abcd", AckWait);
            rig.bytesArrive("ab");
            rig.advanceClock(WithinAckWait);
            rig.manager.PortClosing();
            QVERIFY(rig.packet.Enabled());
            rig.advanceClock(AckWait.latestFiring() * 2);
            QCOMPARE(rig.timeouts, 0);
            rig.manager.PortOpened();
            QCOMPARE(rig.packet.Mode(), dpCollecting);
            rig.advanceClock(AckWait.duration());
            QCOMPARE(rig.timeouts, 0);
            rig.advanceClock(OneTick.duration());
            QCOMPARE(rig.timeouts, 1);
        });
        // nothing arrives on a closed port
        addScenario("arming while closed waits for the port", {"b"}, [](CollectorRig& rig) {
            rig.manager.PortClosing();
            rig.armForBlock(OneByte, AckWait);
            QVERIFY(rig.packet.Enabled());
            QCOMPARE(rig.packet.Mode(), dpIdle);
            rig.bytesArrive("a");
            rig.manager.PortOpened();
            rig.bytesArrive("b");
        });
        addScenario("auto-enable re-arms after each packet", {"ab", "cd", "ef"},
                    [](CollectorRig& rig) {
                        rig.packet.AutoEnable = true;
                        rig.armForSizeOf("ab", NoTimeOut);
                        rig.bytesArrive("abcdef");
                        QVERIFY(rig.packet.Enabled());
                    });
        addScenario("re-armed inside the handler", {"A\r\n", "B\r\n", "C\r\n"},
                    [](CollectorRig& rig) {
                        constexpr int LinesWanted = 3;
                        rig.armForLine();
                        rig.onEvent = [&rig] {
                            if (rig.packets.size() < LinesWanted)
                                rig.armForLine();
                        };
                        rig.bytesArrive("A\r\nB\r\nC\r\nD\r\n");
                        QVERIFY(!rig.packet.Enabled());
                    });
        addScenario("time-out while bytes keep arriving", {}, [](CollectorRig& rig) {
            rig.armForBlock(ImageBlockSize, BlockWait);
            while (rig.timeouts == 0) {
                rig.bytesArrive("x");
                rig.advanceClock(ShorterThanATick);
            }
            QCOMPARE_GE(rig.lastEventMs - CollectorRig::StartMs, BlockWait.duration().count());
            QCOMPARE(rig.manager.BufferedBytes(), std::size_t(0)); // discarded
        });
        addScenario("an exception in the handler is reported and collecting goes on", {"a", "b"},
                    [](CollectorRig& rig) {
                        const QString refusal = QStringLiteral("Der COM-Port ist nicht geöffnet.");
                        rig.armForBlock(OneByte, AckWait);
                        rig.onEvent = [&rig, refusal] {
                            rig.packet.SetEnabled(true);
                            if (rig.packets.size() == 1)
                                throw ESerialError(refusal);
                        };
                        rig.bytesArrive("ab");
                        QCOMPARE(std::exchange(rig.reportedErrors, {}), QStringList{refusal});
                    });
        // a packet longer than the collector's first buffer, in reads of ReadSize
        constexpr int ReadSize = 1999;
        constexpr int FullReads = 10;
        const QByteArray last = "abcdefghyz";
        const QByteArray longPacket = QByteArray(FullReads * ReadSize, 'x') + last;
        addScenario("the buffer grows for long packets", {longPacket}, [=](CollectorRig& rig) {
            rig.armForSizeOf(longPacket, NoTimeOut);
            for (int i = 0; i < FullReads; ++i)
                rig.bytesArrive(QByteArray(ReadSize, 'x'));
            QVERIFY(rig.packets.isEmpty());
            rig.bytesArrive(last + "tail");
            QCOMPARE(rig.manager.BufferedBytes(), std::size_t(0));
        });
    }
    void scenario() {
        QFETCH(CollectorScenario, scenario);
        QFETCH(Packets, expected);
        CollectorRig rig;
        scenario(rig);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(rig.packets, expected);
        QCOMPARE(rig.reportedErrors, QStringList{});
    }

    // A refused arming leaves the packet off and idle.
    void refusedArming_data() {
        QTest::addColumn<QByteArray>("end");
        QTest::addColumn<unsigned>("endCondition");
        QTest::addColumn<int>("size");
        QTest::addColumn<QString>("error");
        constexpr int NegativeSize = -5;
        QTest::newRow("without an end condition") << LineEnd << NoEndCondition << OneByte
                                                  << "CharCount packets must have an end-condition";
        QTest::newRow("with an empty end string")
            << QByteArray() << unsigned(ecString) << OneByte << "End string is empty";
        QTest::newRow("for zero bytes")
            << LineEnd << unsigned(ecPacketSize) << 0 << "Packet size cannot be zero";
        QTest::newRow("for a negative size")
            << LineEnd << unsigned(ecPacketSize) << NegativeSize << "Packet size cannot be zero";
    }
    void refusedArming() {
        QFETCH(QByteArray, end);
        QFETCH(unsigned, endCondition);
        QFETCH(int, size);
        QFETCH(QString, error);
        CollectorRig rig;
        rig.packet.SetEndString(end);
        rig.packet.EndCond = endCondition;
        rig.packet.PacketSize = size;
        QCOMPARE(rig.switchOn(), error);
        QVERIFY(!rig.packet.Enabled());
        QCOMPARE(rig.packet.Mode(), dpIdle);
    }

    void tickWindow_data() {
        QTest::addColumn<int>("ticks");
        QTest::addColumn<int64_t>("start");
        using serialticks::TickMs;
        for (int ticks : {OneTick.count, AckTicks, LineTicks, BlockTicks, ChecksumAckTicks})
            for (int64_t start :
                 {int64_t(0), int64_t(1), TickMs / 2, TickMs - 1, TickMs, int64_t(1'000'003)})
                QTest::addRow("%d ticks from %lld", ticks, (long long)start) << ticks << start;
    }
    void tickWindow() {
        QFETCH(int, ticks);
        QFETCH(int64_t, start);
        CollectorRig rig;
        rig.now = start;
        rig.armForBlock(ImageBlockSize, Ticks{ticks});
        rig.advanceClock(Ticks{ticks + 1}.latestFiring());
        QCOMPARE(rig.timeouts, 1);
        const int64_t after = rig.lastEventMs - start;
        QVERIFY2(after > Ticks{ticks}.duration().count() &&
                     after <= Ticks{ticks}.latestFiring().count(),
                 qPrintable(QString::number(after)));
        // it fires exactly when the tick count passes the expiry tick
        QCOMPARE(serialticks::TickOf(rig.lastEventMs), serialticks::TickOf(start) + ticks + 1);
    }
};

QTEST_GUILESS_MAIN(TestPacketCollector)
#include "tst_packetcollector.moc"
