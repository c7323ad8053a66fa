#include "PtyPeer.h"
#include "unix/SerialLockFile.h"

#include "serial/Modem.h"
#include "serial/PortNames.h"
#include "serial/SerialLine.h"

#include <QProcess>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QSignalSpy>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

// Holds the path open in another process, as another program would.
struct OtherProgram
{
    QProcess process;
    bool hold(const QString &path)
    {
        process.start(qEnvironmentVariable("ZW_PORTHOLD", QStringLiteral(ZW_PORTHOLD_EXECUTABLE)), {path});
        return process.waitForReadyRead(5000) && process.readLine().trimmed() == "held";
    }
    ~OtherProgram()
    {
        process.kill();
        process.waitForFinished();
    }
};

// What another user may leave where QSerialPort keeps a port's lock file,
// and where it puts a stale one's companion; gone again at the end.
struct PlantedFile
{
    QList<QByteArray> paths;
    bool plant(const QString &lockFile, const QString &kind)
    {
        const QByteArray lock = QFile::encodeName(lockFile);
        const QByteArray companion = lock + ".rmlock";
        paths = {lock, companion};
        for (const QByteArray &path : paths)
            ::unlink(path.constData());
        if (kind == QLatin1String("link"))
            return ::symlink("/dev/null", lock.constData()) == 0;
        if (kind == QLatin1String("fifo"))
            return ::mkfifo(lock.constData(), 0666) == 0;
        // A stale lock file: QLockFile turns to the companion to remove it.
        const int stale = ::open(lock.constData(), O_WRONLY | O_CREAT, 0644);
        const timespec longAgo[2] {{1, 0}, {1, 0}};
        return stale >= 0 && ::futimens(stale, longAgo) == 0 && ::close(stale) == 0
                && ::mkfifo(companion.constData(), 0666) == 0;
    }
    ~PlantedFile()
    {
        for (const QByteArray &path : paths)
            ::unlink(path.constData());
    }
};

} // namespace

class ModemTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void writesExactBytes();
    void readReturnsWhatHasArrived();
    void secondOpenOfHeldPortIsRefused();
    void closeWithoutPortAnnouncesClosed();
    void baudRateTakesOnlyKnownRates_data();
    void baudRateTakesOnlyKnownRates();
    void portFaultsSayWhatToDo_data();
    void portFaultsSayWhatToDo();
    void writeToStuckLineGivesUp();
    void sendsBeyondWhatTheDriverTakesInOrder();
    void comNamesMapToConfiguredPaths();
    void devicesOrderedUsbFirstNaturally();
};

void ModemTest::cleanup()
{
    qunsetenv(PortNames::EnvironmentVariable);
}

void ModemTest::writesExactBytes()
{
    PtyPeer peer;
    Modem modem;
    QSignalSpy announced(&modem, &Modem::setTtyText);
    QVERIFY(modem.openPort(peer.devicePath()));
    QCOMPARE(announced.takeLast().at(0).toString(), peer.devicePath());

    QVERIFY(modem.writeString("@v;"));
    QCOMPARE(peer.receive(3, 1s), QByteArray("\x40\x76\x3B", 3));
    QVERIFY(modem.writeByte(0x1FF));
    QCOMPARE(peer.receive(1, 1s), QByteArray(1, char(0xFF)));
    QVERIFY(peer.receive(1, 100ms).isEmpty());
}

void ModemTest::readReturnsWhatHasArrived()
{
    PtyPeer peer;
    Modem modem;
    QVERIFY(modem.openPort(peer.devicePath()));
    char buffer[16];
    QCOMPARE(modem.readData(buffer, 8), 0);

    QVERIFY(peer.send("abc"));
    QVERIFY(peer.waitUntilQueued(3, 1s));
    QCOMPARE(modem.readData(buffer, 8), 3);
    QCOMPARE(QByteArray(buffer, 3), QByteArray("abc"));

    QVERIFY(peer.send("0123456789AB"));
    QVERIFY(peer.waitUntilQueued(12, 1s));
    QCOMPARE(modem.readData(buffer, 8), 8);
    QCOMPARE(QByteArray(buffer, 8), QByteArray("01234567"));
    QCOMPARE(modem.readData(buffer, 8), 4);
    QCOMPARE(QByteArray(buffer, 4), QByteArray("89AB"));
    QCOMPARE(modem.readData(buffer, 8), 0);
}

void ModemTest::secondOpenOfHeldPortIsRefused()
{
    PtyPeer peer;
    Modem holder;
    QVERIFY(holder.openPort(peer.devicePath()));
    Modem second;
    QSignalSpy announced(&second, &Modem::setTtyText);
    QVERIFY(!second.openPort(peer.devicePath()));
    QCOMPARE(announced.size(), 1);
    QCOMPARE(announced.at(0).at(0).toString(), QStringLiteral("?"));
    QVERIFY(!second.errorString().isEmpty());

    holder.closePort();
    QVERIFY(second.openPort(peer.devicePath()));
}

void ModemTest::closeWithoutPortAnnouncesClosed()
{
    Modem modem;
    QSignalSpy announced(&modem, &Modem::setTtyText);
    QVERIFY(modem.closePort());
    QCOMPARE(announced.size(), 1);
    QCOMPARE(announced.at(0).at(0).toString(), QStringLiteral("?"));
    char buffer[4];
    QCOMPARE(modem.readData(buffer, 4), 0);
    QVERIFY(!modem.writeByte(1));
}

void ModemTest::baudRateTakesOnlyKnownRates_data()
{
    QTest::addColumn<int>("requested");
    QTest::addColumn<int>("used");
    QTest::newRow("default") << 0 << 57600;
    QTest::newRow("9600") << 9600 << 9600;
    QTest::newRow("115200") << 115200 << 115200;
    QTest::newRow("38400 ignored") << 38400 << 57600;
}

void ModemTest::baudRateTakesOnlyKnownRates()
{
    QFETCH(int, requested);
    QFETCH(int, used);
    PtyPeer peer;
    Modem modem;
    if (requested)
        modem.setBaudRate(requested);
    QVERIFY(modem.openPort(peer.devicePath()));
    auto *port = qobject_cast<QSerialPort *>(modem.device());
    QVERIFY(port);
    QCOMPARE(port->baudRate(), used);
    QCOMPARE(port->dataBits(), QSerialPort::Data8);
    QCOMPARE(port->parity(), QSerialPort::NoParity);
    QCOMPARE(port->stopBits(), QSerialPort::OneStop);
    QCOMPARE(port->flowControl(), QSerialPort::NoFlowControl);
}

void ModemTest::portFaultsSayWhatToDo_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("reported");
    QTest::newRow("no terminal") << "/dev/null" << "/dev/null ist kein serieller Port" << 1;
    QTest::newRow("plain file") << "file" << " ist kein serieller Port" << 1;
    QTest::newRow("missing") << "/dev/zirbelwerk-no-such-port"
                             << "Port /dev/zirbelwerk-no-such-port ist nicht vorhanden" << 0;
    // The holder is named, so that the user can see who has the port.
    QTest::newRow("held") << "held" << " wird von zw_porthold (PID %1) benutzt" << 1;
    // One device, two names: the lock follows the device, for root too.
    QTest::newRow("held, opened through a link") << "held:link" << " wird von zw_porthold (PID %1) benutzt" << 1;
    QTest::newRow("held through a link") << "link:held" << " wird von zw_porthold (PID %1) benutzt" << 1;
    // What another user may leave where QSerialPort looks for its lock file
    // must neither hang the opener nor lead it to another file.
    QTest::newRow("FIFO as the port's lock file") << "planted:fifo" << " ist keine gewoehnliche Datei; sie muss entfernt werden" << 1;
    QTest::newRow("link as the port's lock file") << "planted:link" << " ist keine gewoehnliche Datei; sie muss entfernt werden" << 1;
    QTest::newRow("FIFO beside a stale lock file") << "planted:rmlock" << " ist keine gewoehnliche Datei; sie muss entfernt werden" << 1;
}

// German, one line per port and fault however often it is tried, and a
// missing device is no news.
void ModemTest::portFaultsSayWhatToDo()
{
    QFETCH(QString, kind);
    QFETCH(QString, text);
    QFETCH(int, reported);
    PlantedFile planted;
    QTemporaryFile file;
    QTemporaryDir folder;
    PtyPeer peer;
    OtherProgram other;
    const QString link = folder.filePath(QStringLiteral("link"));
    QVERIFY(QFile::link(peer.devicePath(), link));
    QString path = kind;
    if (kind == QLatin1String("file")) {
        QVERIFY(file.open());
        path = file.fileName();
    } else if (kind.contains(QLatin1String("held"))) {
        QVERIFY(other.hold(kind.startsWith(QLatin1String("link")) ? link : peer.devicePath()));
        path = kind.endsWith(QLatin1String("link")) ? link : peer.devicePath();
        text = text.arg(other.process.processId());
    } else if (kind.startsWith(QLatin1String("planted"))) {
        path = peer.devicePath();
        QVERIFY(planted.plant(SerialLockFile(path).path(), kind.section(QLatin1Char(':'), 1)));
    }
    const QByteArray lineBefore = peer.lineSettings();
    Modem modem;
    modem.setBaudRate(9600);
    QSignalSpy announced(&modem, &Modem::setTtyText);
    QSignalSpy failed(&modem, &Modem::portFailed);
    QVERIFY(!modem.openPort(path));
    QVERIFY(!modem.openPort(path));
    QCOMPARE(announced.size(), 2);
    QCOMPARE(modem.device(), nullptr);
    QVERIFY2(modem.errorString().endsWith(text), qPrintable(modem.errorString()));
    QCOMPARE(failed.size(), reported);
    if (reported)
        QCOMPARE(failed.at(0).at(0).toString(), modem.errorString());
    QCOMPARE(peer.lineSettings(), lineBefore);
}

void ModemTest::writeToStuckLineGivesUp()
{
    PtyPeer peer; // never reads: the line's buffers fill up
    Modem modem;
    QVERIFY(modem.openPort(peer.devicePath()));
    const QByteArray big(256 * 1024, 'x');
    QVERIFY(!modem.writeString(big.constData()));
}

// A block goes to the driver directly only while the port holds nothing
// back; what the driver does not take, and what follows it, queue behind.
void ModemTest::sendsBeyondWhatTheDriverTakesInOrder()
{
    PtyPeer peer;
    Modem modem;
    QVERIFY(modem.openPort(peer.devicePath()));
    SerialLine *serial = SerialLine::of(modem.device());
    QVERIFY(serial);
    QByteArray big(64 * 1024, Qt::Uninitialized);
    for (int i = 0; i < big.size(); ++i)
        big[i] = char(i * 7 % 251);
    const QList<QByteArray> parts {"first", big, "after"};
    for (const QByteArray &part : parts)
        QVERIFY(serial->send(part));
    const QByteArray expected = parts.join();
    QCOMPARE(peer.receive(int(expected.size()), 10s), expected);
}

void ModemTest::comNamesMapToConfiguredPaths()
{
    PtyPeer peer;
    qputenv(PortNames::EnvironmentVariable, QByteArray("/dev/zw-none:") + peer.devicePath().toLocal8Bit());
    QCOMPARE(PortNames::devicePath(QStringLiteral("COM1")), QStringLiteral("/dev/zw-none"));
    QCOMPARE(PortNames::devicePath(QStringLiteral("COM2")), peer.devicePath());
    QCOMPARE(PortNames::devicePath(QStringLiteral("COM3")), QString());
    QCOMPARE(PortNames::devicePath(QStringLiteral("LPT1")), QString());

    Modem modem;
    QSignalSpy announced(&modem, &Modem::setTtyText);
    QVERIFY(!modem.openPort(QStringLiteral("COM1")));
    QVERIFY(modem.openPort(QStringLiteral("COM2")));
    QCOMPARE(announced.takeLast().at(0).toString(), QStringLiteral("COM2"));
    QVERIFY(modem.writeString("@v;"));
    QCOMPARE(peer.receive(3, 1s), QByteArray("@v;"));
}

void ModemTest::devicesOrderedUsbFirstNaturally()
{
    const QStringList found {"/dev/ttyS1", "/dev/ttyACM0", "/dev/ttyUSB10", "/dev/ttyS0",
                             "/dev/ttyUSB2", "/dev/ttyAMA0"};
    const QStringList expected {"/dev/ttyUSB2", "/dev/ttyUSB10", "/dev/ttyACM0", "/dev/ttyAMA0",
                                "/dev/ttyS0", "/dev/ttyS1"};
    QCOMPARE(PortNames::ordered(found), expected);
}

QTEST_GUILESS_MAIN(ModemTest)
#include "tst_modem.moc"
