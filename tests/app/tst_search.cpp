#include "DebugCapture.h"
#include "PtyPeer.h"
#include "SimInstrument.h"
#include "WindowProbe.h"

#include "serial/Modem.h"

#include <QDir>

#ifndef Q_OS_WIN
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#endif
#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QStatusBar>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace std::chrono_literals;

namespace {

constexpr int FoundTimeoutMs = 5000;
const QString MissingPort = QStringLiteral("/dev/zirbelwerk-missing");

// Linux: which device each COM name stands for. Under Wine the COM names
// are the prefix's own, and startOn() puts each instrument on its port.
void usePorts(const QStringList &paths)
{
    qputenv("ZIRBELWERK_PORTS", paths.join(QLatin1Char(':')).toLocal8Bit());
}

bool startOn(SimInstrument &sim, int comNumber)
{
    sim.setComNumber(comNumber);
    return sim.start();
}

// Every status-bar text the search shows, with its time since construction.
struct StatusTimeline
{
    explicit StatusTimeline(QStatusBar *bar)
    {
        clock.start();
        QObject::connect(bar, &QStatusBar::messageChanged, bar, [this](const QString &text) {
            if (!text.isEmpty())
                events << qMakePair(text, clock.elapsed());
        });
    }
    QStringList texts() const
    {
        QStringList result;
        for (const auto &event : events)
            result << event.first;
        return result;
    }
    qint64 at(const QString &text) const
    {
        for (const auto &event : events)
            if (event.first == text)
                return event.second;
        return -1;
    }
    QElapsedTimer clock;
    QList<QPair<QString, qint64>> events;
};

#ifndef Q_OS_WIN
int openDescriptors()
{
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size());
}
#endif

} // namespace

class SearchTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void foundOnThirdPort();
    void replies_data();
    void replies();
    void portHeldByOtherProcessIsSkipped();
    void wrapsFromLastPortToFirst();
    void stepsKeepTheirIntervals();
    void nothingBeforeTheEventLoop();
#ifndef Q_OS_WIN
    void endlessSearchDoesNotLeak();
    void stalledLineLeavesTheWindowFree();
#endif
};

void SearchTest::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void SearchTest::foundOnThirdPort()
{
    SimInstrument sim;
    QVERIFY(startOn(sim, 3));
    usePorts({MissingPort + "1", MissingPort + "2", sim.devicePath()});
    DebugCapture debug;
    VELDfwloader window;
    WindowProbe probe(window);
    probe.debugTrace() = true;
    StatusTimeline timeline(probe.ui().statusBar);

    QTRY_COMPARE_WITH_TIMEOUT(probe.ui().label_3->text(), QStringLiteral("FW: V1.23"), FoundTimeoutMs);
    QCOMPARE(timeline.texts(), (QStringList {"Suche HW :COM1", "Suche HW :COM2", "Suche HW :COM3",
                                             "HW gefunden an: COM3"}));
    QVERIFY(probe.ui().pushButton->isEnabled());
    QVERIFY(!probe.ui().pushButton_2->isEnabled());
    QVERIFY(probe.portOpen());
    QCOMPARE(probe.portIndex(), 2);

    const int calls = debug.count(QStringLiteral("veldfwloader::fopentty"));
    QCOMPARE(debug.count(QStringLiteral("veldfwloader::fopentty ENDE")), calls);
    QTest::qWait(700);
    QVERIFY(!probe.searchTimer()->isActive());
    QCOMPARE(debug.count(QStringLiteral("veldfwloader::fopentty")), calls);
}

void SearchTest::replies_data()
{
    QTest::addColumn<QStringList>("simArguments");
    QTest::addColumn<QString>("version");    // label_3 when found, empty when refused
    QTest::addColumn<QString>("debugLine");  // expected "Version:" line, empty for none
    QTest::addColumn<int>("leftQueued");

    QTest::newRow("KB123") << QStringList {"--reply-hex", "5A574B423132330D"} << "FW: V1.23" << "Version: 123" << 0;
    QTest::newRow("KB100") << QStringList {"--reply-hex", "5A574B423130300D"} << "FW: V1.00" << "Version: 100" << 0;
    QTest::newRow("KB250") << QStringList {"--reply-hex", "00004B42323530FF"} << "FW: V2.50" << "Version: 250" << 0;
    QTest::newRow("KB099") << QStringList {"--reply-hex", "5A574B423039390D"} << "" << "Version: 099" << 0;
    QTest::newRow("kb123") << QStringList {"--reply-hex", "5A576B623132330D"} << "" << "Version: 123" << 0;
    QTest::newRow("KB1a3") << QStringList {"--reply-hex", "5A574B423161330D"} << "" << "Version: 000" << 0;
    QTest::newRow("seven bytes") << QStringList {"--reply-hex", "5A574B42313233"} << "" << "" << 0;
    QTest::newRow("no answer") << QStringList {"--no-answer"} << "" << "" << 0;
    QTest::newRow("twelve bytes") << QStringList {"--reply-hex", "5A574B423132330D41424344"} << "FW: V1.23"
                                  << "Version: 123" << 4;
}

void SearchTest::replies()
{
    QFETCH(QStringList, simArguments);
    QFETCH(QString, version);
    QFETCH(QString, debugLine);
    QFETCH(int, leftQueued);
    SimInstrument sim(simArguments);
    QVERIFY(startOn(sim, 1));
    usePorts({sim.devicePath(), MissingPort});
    DebugCapture debug;
    VELDfwloader window;
    WindowProbe probe(window);
    StatusTimeline timeline(probe.ui().statusBar);

    if (!version.isEmpty()) {
        QTRY_COMPARE_WITH_TIMEOUT(probe.ui().label_3->text(), version, FoundTimeoutMs);
        QCOMPARE(timeline.texts().last(), QStringLiteral("HW gefunden an: COM1"));
        QVERIFY(probe.ui().pushButton->isEnabled());
        char rest[16];
        QCOMPARE(probe.modem()->readData(rest, sizeof rest), leftQueued);
    } else {
        // Refused: the port is given up and the search goes on.
        QTRY_VERIFY_WITH_TIMEOUT(timeline.texts().contains(QStringLiteral("Suche HW :COM2")), FoundTimeoutMs);
        QVERIFY(probe.ui().label_3->text().isEmpty());
        QVERIFY(!probe.ui().pushButton->isEnabled());
        QVERIFY(!probe.portOpen());
    }
    const QStringList versionLines = debug.lines().filter(QStringLiteral("Version:"));
    QCOMPARE(versionLines, debugLine.isEmpty() ? QStringList() : QStringList {debugLine});
}

void SearchTest::portHeldByOtherProcessIsSkipped()
{
    SimInstrument held;
    SimInstrument free;
    QVERIFY(startOn(held, 1));
    QVERIFY(startOn(free, 2));
#ifdef Q_OS_WIN
    // Windows has one name for a port.
    const QString link = held.devicePath();
#else
    // Held under another name of the same device: a link to it.
    QTemporaryDir links;
    const QString link = links.filePath(QStringLiteral("by-id"));
    QVERIFY(QFile::link(held.devicePath(), link));
#endif
    QProcess holder;
    holder.start(QStringLiteral(ZW_PORTHOLD_EXECUTABLE), {link});
    QVERIFY(holder.waitForReadyRead(5000));
    QCOMPARE(holder.readLine().trimmed(), QByteArray("held"));

    usePorts({held.devicePath(), free.devicePath()});
    DebugCapture debug;
    VELDfwloader window;
    WindowProbe probe(window);
    QTRY_COMPARE_WITH_TIMEOUT(probe.ui().statusBar->currentMessage(), QStringLiteral("HW gefunden an: COM2"),
                              FoundTimeoutMs);
    // Windows' COM1 is its device.
    const QString heldPort = held.devicePath() == QLatin1String("COM1") ? held.devicePath()
                                                                          : "COM1 (" + held.devicePath() + ")";
#ifdef Q_OS_WIN
    const QString holderName = QStringLiteral("einem anderen Programm");
#else
    // Linux tells who holds the port.
    const QString holderName = QStringLiteral("zw_porthold (PID %1)").arg(holder.processId());
#endif
    QCOMPARE(debug.count("Port " + heldPort + " wird von " + holderName + " benutzt"), 1);
    holder.kill();
    holder.waitForFinished();
    held.stop();
    QCOMPARE(held.report().value(QStringLiteral("queries")), QStringLiteral("0"));
}

void SearchTest::wrapsFromLastPortToFirst()
{
    usePorts({});
    VELDfwloader window;
    WindowProbe probe(window);
    probe.portIndex() = 49;
    StatusTimeline timeline(probe.ui().statusBar);
    QTRY_COMPARE_WITH_TIMEOUT(timeline.texts().size(), 2, FoundTimeoutMs);
    QCOMPARE(timeline.texts(), (QStringList {"Suche HW :COM50", "Suche HW :COM1"}));
    QCOMPARE(probe.portIndex(), 1);
}

void SearchTest::stepsKeepTheirIntervals()
{
    SimInstrument sim;
    QVERIFY(startOn(sim, 2));
    usePorts({MissingPort, sim.devicePath()});
    auto window = std::make_unique<VELDfwloader>();
    WindowProbe probe(*window);
    StatusTimeline timeline(probe.ui().statusBar);
    QTRY_VERIFY_WITH_TIMEOUT(!timeline.texts().isEmpty()
                                     && timeline.texts().last().startsWith(QStringLiteral("HW gefunden")),
                             FoundTimeoutMs);
    QCOMPARE(timeline.texts(), (QStringList {"Suche HW :COM1", "Suche HW :COM2", "HW gefunden an: COM2"}));
    const qint64 first = timeline.at(QStringLiteral("Suche HW :COM1"));
    const qint64 second = timeline.at(QStringLiteral("Suche HW :COM2"));
    const qint64 found = timeline.at(QStringLiteral("HW gefunden an: COM2"));
    QVERIFY2(first >= 200, qPrintable(QString::number(first)));
    QVERIFY2(second - first >= 100 - 1, qPrintable(QString::number(second - first)));
    QVERIFY2(found - second >= 300 - 1, qPrintable(QString::number(found - second)));
}

void SearchTest::nothingBeforeTheEventLoop()
{
    usePorts({});
    VELDfwloader window;
    WindowProbe probe(window);
    StatusTimeline timeline(probe.ui().statusBar);
    QThread::msleep(300);
    QVERIFY(timeline.texts().isEmpty());
    QTRY_VERIFY(!timeline.texts().isEmpty());
    QCOMPARE(timeline.texts().first(), QStringLiteral("Suche HW :COM1"));
}

#ifndef Q_OS_WIN
void SearchTest::endlessSearchDoesNotLeak()
{
    SimInstrument silent({"--reply-hex", "5A574B423039390D"});
    QVERIFY(silent.start());
    usePorts({silent.devicePath(), QStringLiteral("/dev/null"), MissingPort});
    VELDfwloader window;
    WindowProbe probe(window);
    // A short list makes a pass quick; the steps are the same as over fifty names.
    probe.portList() = QStringList {"COM1", "COM2", "COM3"};
    int passes = 0;
    QObject::connect(probe.ui().statusBar, &QStatusBar::messageChanged, &window, [&](const QString &text) {
        if (text == QStringLiteral("Suche HW :COM1"))
            ++passes;
    });
    QTRY_COMPARE_WITH_TIMEOUT(passes, 3, 10000);
    const int descriptorsAfterTwoPasses = openDescriptors();
    QTRY_COMPARE_WITH_TIMEOUT(passes, 10, 20000);
    QCOMPARE(openDescriptors(), descriptorsAfterTwoPasses);
    QVERIFY(probe.modem()->children().size() <= 1);
    silent.stop();
    QVERIFY(silent.report().value(QStringLiteral("queries")).toInt() >= 9);
}
#endif

#ifndef Q_OS_WIN
// A line whose far end takes nothing (its output queue full): the query
// must not hold up the window while it waits for room.
void SearchTest::stalledLineLeavesTheWindowFree()
{
    PtyPeer peer;
    QVERIFY(peer.isValid());
    const int filler = ::open(QFile::encodeName(peer.devicePath()).constData(), O_WRONLY | O_NOCTTY | O_NONBLOCK);
    QVERIFY(filler >= 0);
    const QByteArray block(512, 'x');
    while (::write(filler, block.constData(), size_t(block.size())) > 0) {
    }
    QCOMPARE(errno, EAGAIN);
    usePorts({peer.devicePath()});
    VELDfwloader window;
    WindowProbe probe(window);
    QElapsedTimer sinceTick;
    qint64 longestGap = 0;
    QTimer ticks;
    connect(&ticks, &QTimer::timeout, this, [&] {
        if (sinceTick.isValid())
            longestGap = qMax(longestGap, sinceTick.elapsed());
        sinceTick.start();
    });
    ticks.start(10);
    // Two rounds of asking and giving up.
    QTRY_VERIFY_WITH_TIMEOUT(!probe.portOpen() && probe.searchTimer()->remainingTime() > 100, 3000);
    QTest::qWait(1200);
    ::close(filler);
    // Writing it used to wait up to a second.
    QVERIFY2(longestGap < 400, qPrintable(QString::number(longestGap)));
}
#endif

QTEST_MAIN(SearchTest)
#include "tst_search.moc"
