#include "PtyPeer.h"
#include "SimInstrument.h"

#include "device/FlashWriter.h"
#include "serial/Modem.h"
#include "serial/SerialLine.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <termios.h>

using namespace std::chrono_literals;

namespace {

constexpr int WriteTimeoutMs = 60000;

// A recognisable image: every cell differs from its neighbours and from 0xFF.
FirmwareImage patternImage()
{
    FirmwareImage image = emptyFirmwareImage();
    for (int i = 0; i < FirmwareCellCount; ++i)
        image[size_t(i)] = (i * 7 + i / 256) & 0xFF;
    return image;
}

QByteArray expectedMemory(const FirmwareImage &image, int blocks)
{
    QByteArray memory(65536, char(0xFF));
    for (int i = 0; i < blocks * FlashWriter::BlockSize; ++i)
        memory[i] = char(image[size_t(i)]);
    return memory;
}

struct Connection
{
    Modem modem;
    bool open(const QString &path) { return modem.openPort(path); }
    QIODevice *port() { return modem.device(); }
};

// The pattern image written to a fresh simulated instrument.
struct SimWrite
{
    explicit SimWrite(const QStringList &simArguments) : sim(simArguments) {}
    bool connect() { return sim.start() && line.open(sim.devicePath()); }
    // Runs the write to its end and gives finished()'s verdict.
    bool run(qint32 imageLength)
    {
        QSignalSpy finished(&writer, &FlashWriter::finished);
        ended = writer.start(line.port(), image, imageLength) && finished.wait(WriteTimeoutMs);
        return ended && finished.at(0).at(0).toBool();
    }

    SimInstrument sim;
    Connection line;
    FlashWriter writer;
    const FirmwareImage image = patternImage();
    bool ended = false;
};

} // namespace

class FlashWriterTest : public QObject
{
    Q_OBJECT

private slots:
    void writesWholeImage_data();
    void writesWholeImage();
    void noiseBeforeAckIsCountedNotSent();
    void immediateFirstAckIsNotLost();
    void staleInputIsDiscardedBeforeStart();
    void slowEraseIsWaitedFor();
    void silentInstrumentEndsWrite();
    void hangUpEndsWrite();
    void lastBytesThatCannotLeaveFailInTime();
    void refusesWhatCannotBeWritten();
};

void FlashWriterTest::writesWholeImage_data()
{
    QTest::addColumn<int>("imageLength");
    QTest::addColumn<int>("blocks");
    QTest::addColumn<int>("blockTotal");
    QTest::newRow("255") << 255 << 4 << 4;
    QTest::newRow("256") << 256 << 5 << 5;
    QTest::newRow("0") << 0 << 1 << 1;
    QTest::newRow("0xFBFF") << 0xFBFF << 1008 << 1008;
    QTest::newRow("-1") << -1 << 0 << 1;
}

void FlashWriterTest::writesWholeImage()
{
    QFETCH(int, imageLength);
    QFETCH(int, blocks);
    QFETCH(int, blockTotal);
    SimWrite write({"--erase-ms", "0"});
    QVERIFY(write.connect());
    QSignalSpy replies(&write.writer, &FlashWriter::blockReleased);
    QVERIFY(write.run(imageLength));
    QCOMPARE(write.writer.blockTotal(), blockTotal);
    QCOMPARE(write.writer.blocksSent(), blocks);
    QCOMPARE(write.writer.replyCount(), blocks);
    QCOMPARE(replies.size(), blocks);
    if (blocks > 0)
        QCOMPARE(replies.last(), (QVariantList {blocks, blockTotal}));

    QVERIFY(write.sim.waitForWrites(1, 5s));
    QCOMPARE(write.sim.report().value(QStringLiteral("blocks")).toInt(), blocks);
    QCOMPARE(write.sim.report().value(QStringLiteral("end_marker")), QStringLiteral("1"));
    QCOMPARE(write.sim.violations(), QStringList());
    QCOMPARE(write.sim.memory(), expectedMemory(write.image, blocks));
}

void FlashWriterTest::noiseBeforeAckIsCountedNotSent()
{
    SimWrite write({"--erase-ms", "0", "--noise", "1", "--noise-block", "2"});
    QVERIFY(write.connect());
    QSignalSpy released(&write.writer, &FlashWriter::blockReleased);
    QVERIFY(write.run(255));
    QCOMPARE(write.writer.replyCount(), 5);
    QCOMPARE(write.writer.blocksSent(), 4);
    // Progress counts released blocks, never the noise.
    QCOMPARE(released.size(), 4);
    QCOMPARE(released.last(), (QVariantList {4, 4}));
    QVERIFY(write.sim.waitForWrites(1, 5s));
    QCOMPARE(write.sim.violations(), QStringList());
    QCOMPARE(write.sim.memory(), expectedMemory(write.image, 4));
}

void FlashWriterTest::immediateFirstAckIsNotLost()
{
    SimWrite write({"--ack-early"});
    QVERIFY(write.connect());
    QVERIFY(write.run(1000));
    QCOMPARE(write.writer.blocksSent(), 16);
}

void FlashWriterTest::staleInputIsDiscardedBeforeStart()
{
    PtyPeer peer;
    Connection line;
    QVERIFY(line.open(peer.devicePath()));
    // Left over from the version reply, an acknowledgement among it.
    const QByteArray stale("\r\x6B\x6B junk");
    QVERIFY(peer.send(stale));
    QVERIFY(peer.waitUntilQueued(int(stale.size()), 1s));
    FlashWriter writer;
    QSignalSpy finished(&writer, &FlashWriter::finished);
    QVERIFY(writer.start(line.port(), patternImage(), 63));
    QCOMPARE(peer.receive(8, 1s), QByteArray("@g#####;"));
    QTest::qWait(100);
    QCOMPARE(writer.replyCount(), 0);
    QVERIFY(peer.receive(1, 100ms).isEmpty());

    QVERIFY(peer.send(QByteArray(1, FlashWriter::BlockReady)));
    const QByteArray block = peer.receive(2 + 64 + 2, 2s);
    QCOMPARE(block.size(), 68);
    QCOMPARE(block.left(2), QByteArray(2, '\0'));
    QCOMPARE(block.right(2), QByteArray(2, char(0xFF)));
    QTRY_COMPARE(finished.size(), 1);
    QVERIFY(finished.at(0).at(0).toBool());
}

void FlashWriterTest::slowEraseIsWaitedFor()
{
    SimWrite write({"--erase-ms", "5000"});
    QVERIFY(write.connect());
    QVERIFY(write.run(127));
}

void FlashWriterTest::silentInstrumentEndsWrite()
{
    SimWrite write({"--erase-ms", "0", "--silent-at", "3"});
    QVERIFY(write.connect());
    int ticks = 0;
    QTimer heartbeat;
    connect(&heartbeat, &QTimer::timeout, this, [&] { ++ticks; });
    heartbeat.start(100);
    constexpr auto perBlock = 500ms;
    write.writer.setReplyTimeouts(FlashWriter::FirstReplyTimeout, perBlock);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!write.run(1000));
    const qint64 took = clock.elapsed();

    QVERIFY(write.ended);
    QCOMPARE(write.writer.failure(), FlashWriter::Failure::NoReply);
    QCOMPARE(write.writer.blocksSent(), 2);
    QCOMPARE(write.writer.errorString(), QStringLiteral("Keine Antwort von der HW, Abbruch bei Block 3 / 16"));
    QVERIFY(took >= perBlock.count());
    QVERIFY(ticks >= 3); // the event loop ran all through the wait
    QVERIFY(!write.writer.isRunning());
}

void FlashWriterTest::hangUpEndsWrite()
{
    SimWrite write({"--erase-ms", "0", "--hangup-at", "3"});
    QVERIFY(write.connect());
    QVERIFY(!write.run(1000));
    QVERIFY(write.ended);
    QCOMPARE(write.writer.failure(), FlashWriter::Failure::LineError);
    QVERIFY2(write.writer.errorString().endsWith(QStringLiteral("Abbruch bei Block 3 / 16")),
             qPrintable(write.writer.errorString()));
}

// "Written" means the end marker has left the host; a line that holds it
// back fails the write, within the limit.
void FlashWriterTest::lastBytesThatCannotLeaveFailInTime()
{
    PtyPeer peer;
    Connection line;
    QVERIFY(line.open(peer.devicePath()));
    FlashWriter writer;
    constexpr auto limit = 300ms;
    writer.setSendTimeout(limit);
    QSignalSpy finished(&writer, &FlashWriter::finished);
    QVERIFY(writer.start(line.port(), patternImage(), 63));
    QCOMPARE(peer.receive(8, 1s), QByteArray("@g#####;"));
    // Output stopped, as by a far end's flow control: the block stays put.
    const int fd = int(SerialLine::of(line.port())->handle());
    QCOMPARE(::tcflow(fd, TCOOFF), 0);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(peer.send(QByteArray(1, FlashWriter::BlockReady)));
    QVERIFY(finished.wait(5000));
    ::tcflow(fd, TCOON);
    QVERIFY(!finished.at(0).at(0).toBool());
    QCOMPARE(writer.failure(), FlashWriter::Failure::SendTimeout);
    QCOMPARE(writer.errorString(), QStringLiteral("HW nimmt keine Daten an, Abbruch bei Block 1 / 1"));
    QVERIFY(clock.elapsed() >= limit.count() && clock.elapsed() < 3000);
}

void FlashWriterTest::refusesWhatCannotBeWritten()
{
    PtyPeer peer;
    Connection line;
    QVERIFY(line.open(peer.devicePath()));
    FlashWriter writer;
    QSignalSpy finished(&writer, &FlashWriter::finished);
    // The last block would reach past the image's last cell.
    QVERIFY(!writer.start(line.port(), patternImage(), 64960));
    QCOMPARE(writer.failure(), FlashWriter::Failure::ImageTooLarge);
    QVERIFY(!writer.start(nullptr, patternImage(), 255));
    QCOMPARE(writer.failure(), FlashWriter::Failure::NotConnected);
    QVERIFY(peer.receive(1, 200ms).isEmpty());
    QVERIFY(!writer.isRunning());
    QCOMPARE(finished.size(), 0);
    // The largest image that fits may start.
    QVERIFY(writer.start(line.port(), patternImage(), 64959));
    QCOMPARE(peer.receive(8, 1s), QByteArray("@g#####;"));
}

QTEST_GUILESS_MAIN(FlashWriterTest)
#include "tst_flashwriter.moc"
