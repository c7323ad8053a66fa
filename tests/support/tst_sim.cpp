// The simulated instrument, driven over its pseudo-terminal the way a
// loader would drive the real one.

#include "SimInstrument.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QtTest>

#include <cerrno>
#include <chrono>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

constexpr auto ReplyTimeout = 1s;
constexpr auto SilenceWindow = 300ms;
constexpr auto ReadyTimeout = 2s;
constexpr auto WriteTimeout = 10s;
// Longer than the instrument's own give-up time for a half block.
constexpr auto ViolationTimeout = 5s;
constexpr char ReadyByte = 0x6B;
constexpr int BlockSize = 64;

const QByteArray StartCommand = QByteArrayLiteral("@g#####;");
const QByteArray EndMarker = QByteArrayLiteral("\xFF\xFF");

// The host's side of the line: the slave of the simulator's terminal.
class HostPort
{
public:
    explicit HostPort(const QString &path)
        : m_fd(::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK))
    {
        termios settings{};
        if (m_fd >= 0 && ::tcgetattr(m_fd, &settings) == 0) {
            ::cfmakeraw(&settings);
            ::tcsetattr(m_fd, TCSANOW, &settings);
        }
    }
    ~HostPort()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    HostPort(const HostPort &) = delete;
    HostPort &operator=(const HostPort &) = delete;

    bool isOpen() const { return m_fd >= 0; }

    bool send(const QByteArray &bytes)
    {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(m_fd, bytes.constData() + done, size_t(bytes.size() - done));
            if (n < 0 && errno != EAGAIN && errno != EINTR)
                return false;
            if (n > 0)
                done += n;
            else
                waitFor(POLLOUT, ReplyTimeout);
        }
        return true;
    }

    QByteArray receive(int count, std::chrono::milliseconds timeout)
    {
        QByteArray data;
        const QDeadlineTimer deadline(timeout);
        while (data.size() < count && waitFor(POLLIN, deadline.remainingTimeAsDuration())) {
            char buffer[256];
            const ssize_t n = ::read(m_fd, buffer, size_t(qMin<qsizetype>(count - data.size(), 256)));
            if (n <= 0)
                break;
            data.append(buffer, n);
        }
        return data;
    }

    // Reads up to and including the next ready byte; counts what came before it.
    bool waitForReady(int *skipped)
    {
        for (;;) {
            const QByteArray byte = receive(1, ReadyTimeout);
            if (byte.isEmpty())
                return false;
            if (byte.at(0) == ReadyByte)
                return true;
            ++*skipped;
        }
    }

    bool sawHangup(std::chrono::milliseconds timeout)
    {
        pollfd line{m_fd, POLLIN, 0};
        if (::poll(&line, 1, int(timeout.count())) <= 0)
            return false;
        char byte = 0;
        return (line.revents & POLLHUP) != 0 || ::read(m_fd, &byte, 1) <= 0;
    }

private:
    bool waitFor(short events, std::chrono::nanoseconds timeout)
    {
        pollfd line{m_fd, events, 0};
        const int ms = int(std::chrono::ceil<std::chrono::milliseconds>(timeout).count());
        return ::poll(&line, 1, qMax(ms, 0)) > 0 && (line.revents & events) != 0;
    }

    int m_fd;
};

QByteArray blockData(int block)
{
    QByteArray data(BlockSize, '\0');
    for (int i = 0; i < BlockSize; ++i)
        data[i] = char(block * 31 + i * 7 + 3);
    return data;
}

QByteArray frame(int address, const QByteArray &data)
{
    return QByteArray(1, char(address & 0xFF)) + char((address >> 8) & 0xFF) + data;
}

bool waitForViolation(const SimInstrument &sim, const QString &text)
{
    const QDeadlineTimer deadline(ViolationTimeout);
    while (!deadline.hasExpired()) {
        for (const QString &violation : sim.violations()) {
            if (violation.contains(text))
                return true;
        }
        QTest::qWait(10);
    }
    return false;
}

enum class Fault { EarlyBlock, WrongAddress, SecondStart, HalfBlock };

} // namespace

Q_DECLARE_METATYPE(Fault)

class TestSim : public QObject
{
    Q_OBJECT

private slots:
    void versionReply_data();
    void versionReply();
    void instrumentsRunSideBySide();
    void flashWrite_data();
    void flashWrite();
    void violations_data();
    void violations();
    void cutWrite_data();
    void cutWrite();
    void pacedReplyTakesLineTime();
    void turnaroundInReport_data();
    void turnaroundInReport();
};

void TestSim::versionReply_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<int>("queries");

    QTest::newRow("default") << QStringList() << QByteArray("@v;") << QByteArray("ZWKB123\r") << 1;
    QTest::newRow("configured") << QStringList{"--reply-hex", "00FF4B42303939"}
                                << QByteArray("@v;") << QByteArray("\x00\xFFKB099", 7) << 1;
    QTest::newRow("stray bytes first") << QStringList() << QByteArray("x;@g#@@v;")
                                       << QByteArray("ZWKB123\r") << 1;
    QTest::newRow("two queries") << QStringList() << QByteArray("@v;@v;")
                                 << QByteArray("ZWKB123\rZWKB123\r") << 2;
    QTest::newRow("no answer") << QStringList{"--no-answer"} << QByteArray("@v;") << QByteArray()
                               << 0;
}

void TestSim::versionReply()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, sent);
    QFETCH(QByteArray, expected);
    QFETCH(int, queries);

    SimInstrument sim(arguments);
    QVERIFY(sim.start());
    HostPort port(sim.devicePath());
    QVERIFY(port.isOpen());
    QVERIFY(port.send(sent));
    QCOMPARE(port.receive(expected.size(), ReplyTimeout), expected);
    QCOMPARE(port.receive(1, SilenceWindow), QByteArray());
    sim.stop(); // its report is final then
    QCOMPARE(sim.report().value("queries").toInt(), queries);
}

void TestSim::instrumentsRunSideBySide()
{
    SimInstrument first({"--reply-hex", "41414B42313030"});
    SimInstrument second({"--reply-hex", "42424B42323030"});
    QVERIFY(first.start());
    QVERIFY(second.start());
    QVERIFY(first.devicePath() != second.devicePath());
    HostPort toFirst(first.devicePath());
    HostPort toSecond(second.devicePath());
    QVERIFY(toSecond.send("@v;"));
    QVERIFY(toFirst.send("@v;"));
    QCOMPARE(toFirst.receive(7, ReplyTimeout), QByteArray("AAKB100"));
    QCOMPARE(toSecond.receive(7, ReplyTimeout), QByteArray("BBKB200"));
}

void TestSim::flashWrite_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("blocks");
    QTest::addColumn<int>("noise");

    QTest::newRow("one block") << QStringList() << 1 << 0;
    QTest::newRow("two blocks") << QStringList() << 2 << 0;
    QTest::newRow("paced, block write time")
        << QStringList{"--baud", "57600", "--block-ms", "2"} << 2 << 0;
    QTest::newRow("noise before every ready byte") << QStringList{"--noise", "3"} << 2 << 6;
    QTest::newRow("noise before block 2")
        << QStringList{"--noise", "2", "--noise-block", "2"} << 3 << 2;
    QTest::newRow("ready at once") << QStringList{"--ack-early", "--erase-ms", "5000"} << 2 << 0;
}

void TestSim::flashWrite()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, blocks);
    QFETCH(int, noise);

    SimInstrument sim(arguments);
    QVERIFY(sim.start());
    HostPort port(sim.devicePath());
    QVERIFY(port.send(StartCommand));
    QByteArray expected(0x10000, '\xFF');
    int skipped = 0;
    for (int block = 0; block < blocks; ++block) {
        QVERIFY2(port.waitForReady(&skipped), qPrintable(QString("block %1").arg(block + 1)));
        QVERIFY(port.send(frame(block * BlockSize, blockData(block))));
        expected.replace(block * BlockSize, BlockSize, blockData(block));
    }
    QVERIFY(port.send(EndMarker));

    QVERIFY(sim.waitForWrites(1, WriteTimeout));
    QCOMPARE(skipped, noise);
    QCOMPARE(sim.memory(), expected);
    QCOMPARE(sim.violations(), QStringList());
    QCOMPARE(sim.report().value("blocks").toInt(), blocks);
    QCOMPARE(sim.report().value("end_marker"), QString("1"));
    QVERIFY(!sim.report().contains("turnarounds"));
}

void TestSim::violations_data()
{
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<QString>("expected");

    QTest::newRow("block before the ready byte")
        << Fault::EarlyBlock << "block 1: host sent before the ready byte";
    QTest::newRow("wrong address") << Fault::WrongAddress << "block 2: address 0x0000, expected 0x0040";
    QTest::newRow("second start command")
        << Fault::SecondStart << "block 2: write started while another was unfinished";
    QTest::newRow("half a block") << Fault::HalfBlock << "block 1: incomplete, 10 of 66 bytes";
}

void TestSim::violations()
{
    QFETCH(Fault, fault);
    QFETCH(QString, expected);

    SimInstrument sim;
    QVERIFY(sim.start());
    HostPort port(sim.devicePath());
    int skipped = 0;
    QVERIFY(port.send(StartCommand));
    if (fault == Fault::EarlyBlock) {
        QVERIFY(port.send(frame(0, blockData(0))));
    } else if (fault == Fault::HalfBlock) {
        QVERIFY(port.waitForReady(&skipped));
        QVERIFY(port.send(frame(0, blockData(0)).left(10)));
    } else {
        QVERIFY(port.waitForReady(&skipped));
        QVERIFY(port.send(frame(0, blockData(0))));
        QVERIFY(port.waitForReady(&skipped));
        QVERIFY(port.send(fault == Fault::SecondStart ? StartCommand : frame(0, blockData(1))));
    }
    QVERIFY2(waitForViolation(sim, expected), qPrintable(sim.violations().join('\n')));
    QCOMPARE(sim.report().value("violations").toInt(), sim.violations().size());
}

void TestSim::cutWrite_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("hangup");

    QTest::newRow("hang-up at block 2") << QStringList{"--hangup-at", "2"} << true;
    QTest::newRow("terminated while silent") << QStringList{"--silent-at", "2"} << false;
}

void TestSim::cutWrite()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, hangup);

    SimInstrument sim(arguments);
    QVERIFY(sim.start());
    HostPort port(sim.devicePath());
    int skipped = 0;
    QVERIFY(port.send(StartCommand));
    QVERIFY(port.waitForReady(&skipped));
    QVERIFY(port.send(frame(0, blockData(0))));
    QCOMPARE(port.sawHangup(ReadyTimeout), hangup);
    if (!hangup)
        QCOMPARE(port.receive(1, SilenceWindow), QByteArray());
    sim.stop();

    QCOMPARE(sim.exitCode(), 0);
    QCOMPARE(sim.report().value("blocks").toInt(), 1);
    QCOMPARE(sim.report().value("end_marker"), QString("0"));
    QCOMPARE(sim.report().value("writes").toInt(), 0);
    QCOMPARE(sim.memory().left(BlockSize), blockData(0));
    QCOMPARE(sim.memory().mid(BlockSize), QByteArray(0x10000 - BlockSize, '\xFF'));
}

// 103 bytes cross the line (query and reply), at 10 bits each.
void TestSim::pacedReplyTakesLineTime()
{
    const QByteArray reply(100, 'r');
    SimInstrument sim({"--baud", "57600", "--reply-hex", QString::fromLatin1(reply.toHex())});
    QVERIFY(sim.start());
    HostPort port(sim.devicePath());
    QElapsedTimer clock;
    clock.start();
    QVERIFY(port.send("@v;"));
    QCOMPARE(port.receive(reply.size(), ReplyTimeout), reply);
    QVERIFY2(clock.nsecsElapsed() >= 17'000'000, qPrintable(QString::number(clock.nsecsElapsed())));
}

void TestSim::turnaroundInReport_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("unpaced") << QStringList();
    QTest::newRow("paced") << QStringList{"--baud", "57600"};
}

// A host that takes 20 ms over each block shows it; the end marker, which
// answers no ready byte, is not counted.
void TestSim::turnaroundInReport()
{
    QFETCH(QStringList, arguments);
    constexpr int Blocks = 3;
    constexpr auto HostDelay = 20ms;
    SimInstrument sim(arguments << "--erase-ms" << "0" << "--turnaround");
    QVERIFY(sim.start());
    QCOMPARE(sim.report().value("turnarounds"), QString("0"));
    HostPort port(sim.devicePath());
    int skipped = 0;
    QVERIFY(port.send(StartCommand));
    for (int block = 0; block < Blocks; ++block) {
        QVERIFY(port.waitForReady(&skipped));
        QTest::qSleep(int(HostDelay.count()));
        QByteArray bytes = frame(block * BlockSize, blockData(block));
        if (block == Blocks - 1)
            bytes += EndMarker;
        QVERIFY(port.send(bytes));
    }
    QVERIFY(sim.waitForWrites(1, WriteTimeout));

    const QMap<QString, QString> report = sim.report();
    QCOMPARE(report.value("turnarounds").toInt(), Blocks);
    const double delayUs = double(std::chrono::microseconds(HostDelay).count());
    for (const char *key : {"turnaround_mean_us", "turnaround_median_us", "turnaround_p90_us", "turnaround_max_us"}) {
        const double value = report.value(key).toDouble();
        QVERIFY2(value >= delayUs && value < 10 * delayUs, qPrintable(QString("%1=%2").arg(key).arg(value)));
    }
    QVERIFY(report.value("turnaround_median_us").toDouble() <= report.value("turnaround_p90_us").toDouble());
    QVERIFY(report.value("turnaround_p90_us").toDouble() <= report.value("turnaround_max_us").toDouble());
}

QTEST_GUILESS_MAIN(TestSim)
#include "tst_sim.moc"
