#include "SimInstrument.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <memory>
#include <vector>

using namespace std::chrono_literals;

namespace {

const QString FullHex = QStringLiteral(ZW_TEST_DATA "/hex/full.hex");
const QString SmallHex = QStringLiteral(ZW_TEST_DATA "/hex/small.hex");
constexpr int RunTimeoutMs = 60000;

// The flasher as a child process, with its own record file.
struct Flasher
{
    QProcess process;
    QString out;
    QString err;

    void start(const QStringList &arguments, const QString &ports, const QString &dataHome,
               const QStringList &wrapper = {})
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("ZIRBELWERK_PORTS"), ports);
        environment.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
        process.setProcessEnvironment(environment);
        if (wrapper.isEmpty())
            process.start(QStringLiteral(ZW_FLASH_CLI), arguments);
        else
            process.start(wrapper.first(), wrapper.mid(1) + QStringList {QStringLiteral(ZW_FLASH_CLI)} + arguments);
    }
    int finish(int timeoutMs = RunTimeoutMs)
    {
        if (!process.waitForFinished(timeoutMs)) {
            process.kill();
            process.waitForFinished();
            return -1;
        }
        out += QString::fromLocal8Bit(process.readAllStandardOutput());
        err += QString::fromLocal8Bit(process.readAllStandardError());
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }
    // Waits until stdout has shown text, keeping what it read.
    bool waitForOutput(const QString &text, int timeoutMs = 10000)
    {
        QElapsedTimer clock;
        clock.start();
        while (!out.contains(text) && clock.elapsed() < timeoutMs) {
            process.waitForReadyRead(50);
            out += QString::fromLocal8Bit(process.readAllStandardOutput());
        }
        return out.contains(text);
    }
    void signal(int number) { ::kill(pid_t(process.processId()), number); }
};

QList<QJsonObject> recordLines(const QString &dataHome)
{
    QFile file(dataHome + QStringLiteral("/zirbelwerk/flash-record.jsonl"));
    QList<QJsonObject> lines;
    if (!file.open(QIODevice::ReadOnly))
        return lines;
    while (!file.atEnd())
        lines << QJsonDocument::fromJson(file.readLine()).object();
    return lines;
}

} // namespace

// The flasher with several instruments, signals and its record, each
// against real simulated instruments.
class FlashFleetTest : public QObject
{
    Q_OBJECT

private slots:
    void allWritesEveryInstrumentOnItsOwn();
    void watchWritesEachNewInstrumentOnce();
    void secondInterruptStopsWithBlock();
    void hangUpWithClosedOutputFinishesWrite();
    void jsonLinesParseAndRecordHoldsTheWrite();
    void oneDeviceUnderTwoNamesIsWrittenOnce_data();
    void oneDeviceUnderTwoNamesIsWrittenOnce();
    void secondProcessIsRefusedUnderAnotherName_data();
    void secondProcessIsRefusedUnderAnotherName();
    void fileThatWaitsEndsOnSignal_data();
    void fileThatWaitsEndsOnSignal();
    void pathThatIsNotUtf8IsRefused();
    void recordNeverHoldsTheFlasher_data();
    void recordNeverHoldsTheFlasher();

private:
    QTemporaryDir dataHome;
};

void FlashFleetTest::allWritesEveryInstrumentOnItsOwn()
{
    std::vector<std::unique_ptr<SimInstrument>> sims;
    QStringList paths;
    for (int i = 0; i < 4; ++i) {
        const QStringList silent = i == 3 ? QStringList {"--silent-at", "300"} : QStringList {};
        sims.push_back(std::make_unique<SimInstrument>(QStringList {"--erase-ms", "0"} + silent));
        QVERIFY(sims.back()->start());
        paths << sims.back()->devicePath();
    }
    // A long name, as /dev/serial/by-id/ gives, must not push the table out of line.
    QTemporaryDir links;
    paths[0] = links.filePath(QStringLiteral("usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0"));
    QVERIFY(QFile::link(sims[0]->devicePath(), paths[0]));
    Flasher flasher;
    flasher.start({"--all", FullHex}, paths.join(QLatin1Char(':')), dataHome.path());
    QCOMPARE(flasher.finish(), 4);
    for (int i = 0; i < 3; ++i) {
        QVERIFY(sims[size_t(i)]->waitForWrites(1, 5s));
        QCOMPARE(sims[size_t(i)]->report().value(QStringLiteral("blocks")), QStringLiteral("1008"));
        QCOMPARE(sims[size_t(i)]->violations(), QStringList());
    }
    const QStringList summary = flasher.out.split(QLatin1Char('\n')).filter(QStringLiteral("COM4 "));
    QVERIFY2(!summary.isEmpty() && summary.last().contains(QStringLiteral("no_reply")), qPrintable(flasher.out));
    QCOMPARE(flasher.out.split(QLatin1Char('\n')).filter(QStringLiteral("geschrieben")).size(), 3);
    // The table's block is the record's, the n of "Abbruch bei Block n / m".
    const QJsonObject failed = recordLines(dataHome.path()).last();
    QCOMPARE(failed.value(QStringLiteral("port")).toString(), QStringLiteral("COM4"));
    QCOMPARE(summary.last().split(QLatin1Char(' '), Qt::SkipEmptyParts).value(5),
             QString::number(failed.value(QStringLiteral("block")).toInt()));
    const QStringList table = flasher.out.split(QLatin1Char('\n')).filter(QRegularExpression("^(Port|COM\\d+) "));
    const qsizetype column = table.first().indexOf(QStringLiteral("Ergebnis"));
    for (const QString &row : table.mid(1))
        QVERIFY2(row.indexOf(QRegularExpression("geschrieben|no_reply")) == column, qPrintable(flasher.out));
}

void FlashFleetTest::watchWritesEachNewInstrumentOnce()
{
    QTemporaryDir links;
    const QString link = links.filePath(QStringLiteral("fixture"));
    Flasher flasher;
    flasher.start({"--watch", "--rearm-after", "1", SmallHex}, link, dataHome.path());
    QVERIFY(flasher.waitForOutput(QStringLiteral("Warte auf HW")));
    {
        SimInstrument sim({"--erase-ms", "0", "--link", link});
        QVERIFY(sim.start());
        QVERIFY(sim.waitForWrites(1, 10s));
        // It stays on the fixture: no second write.
        QTest::qWait(2500);
        QCOMPARE(sim.report().value(QStringLiteral("writes")), QStringLiteral("1"));
    }
    QTest::qWait(1500);
    SimInstrument again({"--erase-ms", "0", "--link", link});
    QVERIFY(again.start());
    QVERIFY(again.waitForWrites(1, 10s));
    flasher.signal(SIGINT);
    QCOMPARE(flasher.finish(), 0);
    QCOMPARE(flasher.out.count(QStringLiteral("Flash neu beschrieben!")), 2);
}

void FlashFleetTest::secondInterruptStopsWithBlock()
{
    SimInstrument sim({"--erase-ms", "0", "--block-ms", "5"});
    QVERIFY(sim.start());
    Flasher flasher;
    flasher.start({"--port", sim.devicePath(), FullHex}, sim.devicePath(), dataHome.path());
    QVERIFY(flasher.waitForOutput(QStringLiteral("Flash schreiben starten")));
    QTest::qWait(300);
    flasher.signal(SIGINT);
    QTest::qWait(300);
    flasher.signal(SIGINT);
    QCOMPARE(flasher.finish(), 5);
    QVERIFY2(flasher.err.contains(QStringLiteral("halb beschrieben")), qPrintable(flasher.err));
    QVERIFY2(flasher.err.contains(QRegularExpression(QStringLiteral("Schreiben abgebrochen, Abbruch bei Block \\d+ / 1008"))),
             qPrintable(flasher.err));
    QVERIFY(flasher.err.contains(QStringLiteral("Geraet aus- und einschalten, dann neu schreiben")));
    QCOMPARE(recordLines(dataHome.path()).last().value(QStringLiteral("result")).toString(), QStringLiteral("interrupted"));
}

void FlashFleetTest::hangUpWithClosedOutputFinishesWrite()
{
    SimInstrument sim({"--erase-ms", "0", "--block-ms", "2"});
    QVERIFY(sim.start());
    Flasher flasher;
    flasher.start({"--port", sim.devicePath(), FullHex}, sim.devicePath(), dataHome.path());
    QVERIFY(flasher.waitForOutput(QStringLiteral("Flash schreiben starten")));
    // The session ends: no one reads its output any more.
    flasher.process.closeReadChannel(QProcess::StandardOutput);
    flasher.process.closeReadChannel(QProcess::StandardError);
    flasher.signal(SIGHUP);
    QCOMPARE(flasher.finish(), 0);
    QVERIFY(sim.waitForWrites(1, 5s));
    QCOMPARE(sim.report().value(QStringLiteral("blocks")), QStringLiteral("1008"));
    QCOMPARE(sim.report().value(QStringLiteral("end_marker")), QStringLiteral("1"));
}

void FlashFleetTest::jsonLinesParseAndRecordHoldsTheWrite()
{
    SimInstrument sim({"--erase-ms", "0"});
    QVERIFY(sim.start());
    const int before = int(recordLines(dataHome.path()).size());
    Flasher flasher;
    flasher.start({"--json", "-p", sim.devicePath(), SmallHex}, sim.devicePath(), dataHome.path());
    QCOMPARE(flasher.finish(), 0);
    QStringList types;
    for (const QString &line : flasher.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        QJsonParseError error {};
        const QJsonObject object = QJsonDocument::fromJson(line.toUtf8(), &error).object();
        QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(line));
        types << object.value(QStringLiteral("type")).toString();
    }
    QCOMPARE(types.mid(0, 2), (QStringList {"check", "found"}));
    QVERIFY(types.contains(QStringLiteral("progress")));
    QCOMPARE(types.mid(types.size() - 2), (QStringList {"outcome", "summary"}));

    const QList<QJsonObject> records = recordLines(dataHome.path());
    QCOMPARE(records.size(), before + 1);
    const QJsonObject record = records.last();
    const QStringList keys {"time", "program", "version", "host", "user", "port", "device", "usb_vid", "usb_pid",
                            "usb_serial", "usb_description", "firmware_before", "file", "file_size",
                            "file_sha256", "image_length", "blocks", "result", "failure", "message",
                            "block", "seconds"};
    for (const QString &key : keys)
        QVERIFY2(record.contains(key), qPrintable(key));
    QFile hex(SmallHex);
    QVERIFY(hex.open(QIODevice::ReadOnly));
    QCOMPARE(record.value(QStringLiteral("file_sha256")).toString(),
             QString::fromLatin1(QCryptographicHash::hash(hex.readAll(), QCryptographicHash::Sha256).toHex()));
    QCOMPARE(record.value(QStringLiteral("result")).toString(), QStringLiteral("written"));
    QCOMPARE(record.value(QStringLiteral("program")).toString(), QStringLiteral("zirbelwerk-flash"));
}

void FlashFleetTest::oneDeviceUnderTwoNamesIsWrittenOnce_data()
{
    QTest::addColumn<QString>("mode");
    QTest::newRow("-p twice") << "ports";
    QTest::newRow("ZIRBELWERK_PORTS twice, --all") << "all";
    QTest::newRow("ZIRBELWERK_PORTS twice, --info") << "info";
}

void FlashFleetTest::oneDeviceUnderTwoNamesIsWrittenOnce()
{
    QFETCH(QString, mode);
    SimInstrument sim({"--erase-ms", "0"});
    QVERIFY(sim.start());
    QTemporaryDir links;
    const QString link = links.filePath(QStringLiteral("by-id"));
    QVERIFY(QFile::link(sim.devicePath(), link));
    const QString both = link + QLatin1Char(':') + sim.devicePath();
    Flasher flasher;
    if (mode == QLatin1String("ports"))
        flasher.start({"--json", "-p", link, "-p", sim.devicePath(), FullHex}, QString(), dataHome.path());
    else if (mode == QLatin1String("all"))
        flasher.start({"--json", "--all", FullHex}, both, dataHome.path());
    else
        flasher.start({"--json", "--info"}, both, dataHome.path());
    QCOMPARE(flasher.finish(), 0);
    const QString second = mode == QLatin1String("ports") ? sim.devicePath() : "COM2 (" + sim.devicePath() + ")";
    const QString first = mode == QLatin1String("ports") ? link : QStringLiteral("COM1");
    QVERIFY2(flasher.err.contains("Port " + second + " ist dasselbe Geraet wie " + first), qPrintable(flasher.err));
    QVERIFY2(flasher.out.contains("\"code\":\"same_device\""), qPrintable(flasher.out));
    if (mode != QLatin1String("info"))
        QVERIFY(sim.waitForWrites(1, 5s));
    // Only a simulator that has ended has counted every query it answered.
    sim.stop();
    QCOMPARE(sim.report().value(QStringLiteral("queries")), QStringLiteral("1"));
    if (mode == QLatin1String("info"))
        return;
    QCOMPARE(sim.report().value(QStringLiteral("writes")), QStringLiteral("1"));
    QCOMPARE(sim.report().value(QStringLiteral("end_marker")), QStringLiteral("1"));
    QCOMPARE(sim.violations(), QStringList());
}

// As root, as CI runs: the terminal's exclusive mode would not stop it.
void FlashFleetTest::secondProcessIsRefusedUnderAnotherName_data()
{
    QTest::addColumn<QStringList>("wrapper");
    QTest::newRow("root second") << QStringList();
    // Where QSerialPort keeps its lock files then differs between the two.
    QTest::newRow("root second, /run/lock read-only")
            << QStringList {"unshare", "-m", "sh", "-c", "mount --bind -o ro /run/lock /run/lock && exec \"$0\" \"$@\""};
}

void FlashFleetTest::secondProcessIsRefusedUnderAnotherName()
{
    QFETCH(QStringList, wrapper);
    // A chroot or a container may not let a mount namespace remount it.
    if (!wrapper.isEmpty()
        && QProcess::execute(wrapper.first(), wrapper.mid(1) + QStringList {"true"}) != 0)
        QSKIP("no mount namespace with /run/lock read-only here");
    SimInstrument sim({"--erase-ms", "0", "--block-ms", "2"});
    QVERIFY(sim.start());
    QTemporaryDir links;
    const QString link = links.filePath(QStringLiteral("link"));
    QVERIFY(QFile::link(sim.devicePath(), link));
    Flasher writing;
    writing.start({"-p", link, FullHex}, QString(), dataHome.path());
    QVERIFY(writing.waitForOutput(QStringLiteral("Flash schreiben starten")));
    for (const QStringList &arguments : {QStringList {"-p", sim.devicePath(), "--baud", "9600", FullHex},
                                         QStringList {"--info", "-p", sim.devicePath()}}) {
        Flasher second;
        second.start(arguments, QString(), dataHome.path(), wrapper);
        QCOMPARE(second.finish(), 3);
        const QString holder = QStringLiteral(" wird von zirbelwerk-flash (PID %1) benutzt").arg(writing.process.processId());
        QVERIFY2(second.err.contains(holder), qPrintable(second.err));
    }
    QCOMPARE(writing.finish(), 0);
    QVERIFY(sim.waitForWrites(1, 5s));
    QCOMPARE(sim.report().value(QStringLiteral("blocks")), QStringLiteral("1008"));
    QCOMPARE(sim.report().value(QStringLiteral("end_marker")), QStringLiteral("1"));
    QCOMPARE(sim.violations(), QStringList());
}

void FlashFleetTest::fileThatWaitsEndsOnSignal_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("write") << QStringList {"-p", "/dev/null"} << 5;
    QTest::newRow("check") << QStringList {"--check"} << 5;
    QTest::newRow("all") << QStringList {"--all"} << 5;
    // Its normal end is a signal while no write runs.
    QTest::newRow("watch") << QStringList {"--watch", "-p", "/dev/null"} << 0;
}

// A FIFO as the HEX file waits for a writer; a signal meanwhile ends the
// flasher at once, as a stop before the write.
void FlashFleetTest::fileThatWaitsEndsOnSignal()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QTemporaryDir folder;
    const QString fifo = folder.filePath(QStringLiteral("fw.hex"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    Flasher flasher;
    flasher.start(arguments + QStringList {fifo}, QString(), dataHome.path());
    QVERIFY(flasher.process.waitForStarted());
    QTest::qWait(300);
    flasher.signal(SIGTERM);
    QCOMPARE(flasher.finish(2000), exitCode);
    QVERIFY2(flasher.err.contains(QStringLiteral("Laden von %1 abgebrochen").arg(fifo)), qPrintable(flasher.err));
    QVERIFY2(!flasher.err.contains(QStringLiteral("Keine HW gefunden")), qPrintable(flasher.err));
}

// Such a name would be taken as another: the file asked for is never made,
// nor one by another name.
void FlashFleetTest::pathThatIsNotUtf8IsRefused()
{
    QTemporaryDir folder;
    Flasher flasher;
    const QString script = QStringLiteral("exec \"$0\" --record \"$1/rec$(printf '\\377\\376').jsonl\" -p /dev/null \"$2\"");
    flasher.start({folder.path(), SmallHex}, QString(), dataHome.path(), {"sh", "-c", script});
    QCOMPARE(flasher.finish(), 1);
    QVERIFY2(flasher.err.contains(QStringLiteral("\\xff\\xfe.jsonl\" ist kein UTF-8")), qPrintable(flasher.err));
    QCOMPARE(QDir(folder.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
}

void FlashFleetTest::recordNeverHoldsTheFlasher_data()
{
    QTest::addColumn<QString>("record");
    QTest::addColumn<bool>("signalWhileWaiting");
    QTest::addColumn<QString>("warning");
    QTest::newRow("FIFO without reader") << "fifo" << false << "keine gewoehnliche Datei";
    QTest::newRow("lock held too long") << "locked" << false << "gesperrt";
    QTest::newRow("signal while the lock is held") << "locked" << true << "gesperrt";
}

// The write has ended; neither its record nor a signal may change that.
void FlashFleetTest::recordNeverHoldsTheFlasher()
{
    QFETCH(QString, record);
    QFETCH(bool, signalWhileWaiting);
    QFETCH(QString, warning);
    SimInstrument sim({"--erase-ms", "0"});
    QVERIFY(sim.start());
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("record"));
    int lock = -1;
    if (record == QLatin1String("fifo")) {
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0644), 0);
    } else {
        lock = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT, 0644);
        QCOMPARE(::flock(lock, LOCK_EX), 0);
    }
    Flasher flasher;
    flasher.start({"--record", path, "-p", sim.devicePath(), SmallHex}, QString(), dataHome.path());
    if (signalWhileWaiting) {
        QVERIFY(flasher.waitForOutput(QStringLiteral("Flash neu beschrieben!")));
        flasher.signal(SIGTERM);
        QCOMPARE(flasher.finish(1000), 0);
    } else {
        QCOMPARE(flasher.finish(5000), 0);
    }
    if (lock >= 0)
        ::close(lock);
    QVERIFY2(flasher.err.contains("Flash-Protokoll nicht geschrieben: " + path), qPrintable(flasher.err));
    QVERIFY2(flasher.err.contains(warning), qPrintable(flasher.err));
}

QTEST_GUILESS_MAIN(FlashFleetTest)
#include "tst_flashfleet.moc"
