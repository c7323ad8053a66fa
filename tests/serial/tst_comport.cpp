// Modem on Windows' serial API, under Wine: each simulated instrument is on
// a COM port of the prefix (SimInstrument asks zw_simbroker for it).
#include "SimInstrument.h"

#include "serial/Modem.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <qt_windows.h>

using namespace std::chrono_literals;

namespace {

// Nothing links COM200 in the test prefix; the runner links COM250 to /dev/null.
const QString MissingPort = QStringLiteral("COM200");
const QString NotSerialPort = QStringLiteral("COM250");

std::chrono::milliseconds cpuTime()
{
    FILETIME created, ended, kernel, user;
    ::GetProcessTimes(::GetCurrentProcess(), &created, &ended, &kernel, &user);
    const auto ms = [](const FILETIME &t) { return ((qint64(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000; };
    return std::chrono::milliseconds(ms(kernel) + ms(user));
}

// Another program with the port open.
struct OtherProgram
{
    QProcess process;
    bool hold(const QString &port)
    {
        process.start(QStringLiteral(ZW_PORTHOLD_EXECUTABLE), {port});
        return process.waitForReadyRead(10000) && process.readLine().trimmed() == "held";
    }
    ~OtherProgram()
    {
        process.kill();
        process.waitForFinished();
    }
};

} // namespace

class ComPortTest : public QObject
{
    Q_OBJECT

private slots:
    void bytesGoBothWays();
    void secondOpenerIsRefused_data();
    void secondOpenerIsRefused();
    void portFaultsSayWhatToDo_data();
    void portFaultsSayWhatToDo();
    void hangUpIsLineLost();
};

void ComPortTest::bytesGoBothWays()
{
    SimInstrument sim;
    QVERIFY(sim.start());
    Modem modem;
    QSignalSpy announced(&modem, &Modem::setTtyText);
    QVERIFY(modem.openPort(sim.devicePath()));
    QCOMPARE(announced.takeLast().at(0).toString(), sim.devicePath());

    char reply[16];
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(modem.readData(reply, 8), 0);
    QVERIFY(clock.elapsed() < 100); // a read never waits
    QVERIFY(modem.writeString("@v;"));
    // The instrument answers "ZWKB123\r". Without the event loop meanwhile,
    // the read itself takes what has come, and no more than asked.
    QThread::msleep(300);
    QCOMPARE(modem.readData(reply, 3), 3);
    QCOMPARE(modem.readData(reply + 3, 8), 5);
    QCOMPARE(QByteArray(reply, 8), QByteArray("ZWKB123\r"));
    QCOMPARE(modem.readData(reply, 8), 0);
    QVERIFY(modem.closePort());
    sim.stop();
    QCOMPARE(sim.report().value(QStringLiteral("queries")), QStringLiteral("1"));
}

void ComPortTest::secondOpenerIsRefused_data()
{
    QTest::addColumn<bool>("otherProcess");
    QTest::newRow("this program") << false;
    QTest::newRow("another program") << true;
}

void ComPortTest::secondOpenerIsRefused()
{
    QFETCH(bool, otherProcess);
    SimInstrument sim;
    QVERIFY(sim.start());
    const QString port = sim.devicePath();
    Modem holder;
    OtherProgram other;
    QVERIFY(otherProcess ? other.hold(port) : holder.openPort(port));

    Modem second;
    QSignalSpy announced(&second, &Modem::setTtyText);
    QSignalSpy failed(&second, &Modem::portFailed);
    QVERIFY(!second.openPort(port));
    QVERIFY(!second.openPort(port));
    QCOMPARE(announced.size(), 2);
    QCOMPARE(announced.at(0).at(0).toString(), QStringLiteral("?"));
    QCOMPARE(second.errorString(), QStringLiteral("Port %1 wird von einem anderen Programm benutzt").arg(port));
    QCOMPARE(second.fault().code(), QStringLiteral("busy"));
    QCOMPARE(failed.size(), 1);

    holder.closePort();
    if (otherProcess) {
        other.process.kill();
        QVERIFY(other.process.waitForFinished());
    }
    QVERIFY(second.openPort(port));
}

void ComPortTest::portFaultsSayWhatToDo_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("reported");
    QTest::newRow("missing") << MissingPort << "Port COM200 ist nicht vorhanden" << "missing" << 0;
    QTest::newRow("no COM name") << "LPT1" << "Port LPT1 gibt es nicht"
                                 << "missing" << 0;
    QTest::newRow("not serial") << NotSerialPort << "COM250 ist kein serieller Port" << "not_serial" << 1;
}

void ComPortTest::portFaultsSayWhatToDo()
{
    QFETCH(QString, port);
    QFETCH(QString, text);
    QFETCH(QString, code);
    QFETCH(int, reported);
    Modem modem;
    QSignalSpy failed(&modem, &Modem::portFailed);
    QVERIFY(!modem.openPort(port));
    modem.closePort(); // a half-opened port is released
    QVERIFY(!modem.openPort(port));
    QCOMPARE(modem.errorString(), text);
    QCOMPARE(modem.fault().code(), code);
    QCOMPARE(failed.size(), reported);
    modem.closePort();
    QCOMPARE(modem.device(), nullptr);
}

// An instrument that hangs up: the port is dropped at once, and nothing is
// left that keeps the process busy.
void ComPortTest::hangUpIsLineLost()
{
    SimInstrument sim({"--erase-ms", "0", "--hangup-at", "1"});
    QVERIFY(sim.start());
    Modem modem;
    QSignalSpy lost(&modem, &Modem::lineLost);
    QSignalSpy announced(&modem, &Modem::setTtyText);
    QVERIFY(modem.openPort(sim.devicePath()));
    // It hangs up where it would release the first block.
    QVERIFY(modem.writeString("@g#####;"));
    QVERIFY(lost.wait(5000));
    QCOMPARE(modem.device(), nullptr);
    QCOMPARE(announced.last().at(0).toString(), QStringLiteral("?"));
    char rest[8];
    QCOMPARE(modem.readData(rest, 8), 0);
    QVERIFY(!modem.writeByte(1));

    const auto before = cpuTime();
    QTest::qWait(1000);
    QVERIFY2(cpuTime() - before < 100ms, qPrintable(QString::number((cpuTime() - before).count())));
}

QTEST_GUILESS_MAIN(ComPortTest)
#include "tst_comport.moc"
