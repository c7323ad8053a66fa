#include "SimInstrument.h"
#include "device/FlashOutcome.h"
#include "serial/PortFault.h"
#include "station/SlotTile.h"
#include "station/StationFile.h"
#include "station/StationWindow.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QLabel>
#include <QPushButton>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QEventLoop>

#include <csignal>
#include <functional>
#include <memory>
#include <unistd.h>
#include <vector>

using namespace std::chrono_literals;

namespace {

const QString FullHex = QStringLiteral(ZW_TEST_DATA "/hex/full.hex");
constexpr int WriteTimeoutMs = 60000;
constexpr int FoundTimeoutMs = 5000;

using Sims = std::vector<std::unique_ptr<SimInstrument>>;

// Each by a link of its own: a pseudo-terminal's name freed by a
// simulator that hung up is soon another program's.
bool startSims(Sims &sims, const QList<QStringList> &arguments)
{
    static QTemporaryDir links;
    QStringList paths;
    for (const QStringList &extra : arguments) {
        const QString link = links.filePath(QStringLiteral("sim%1").arg(sims.size()));
        sims.push_back(std::make_unique<SimInstrument>(QStringList {"--erase-ms", "0", "--link", link} + extra));
        if (!sims.back()->start())
            return false;
        paths << link;
    }
    qputenv("ZIRBELWERK_PORTS", paths.join(QLatin1Char(':')).toLocal8Bit());
    return true;
}

StationFile station(bool automatic)
{
    StationFile file = StationFile::ofHexFile(FullHex);
    file.automatic = automatic;
    file.rearmAfter = 1s;
    file.name = QStringLiteral("Station 3");
    return file;
}

// Quick time limits: a silent instrument fails within a second.
std::unique_ptr<StationWindow> openStation(const StationFile &file)
{
    auto window = std::make_unique<StationWindow>(file);
    window->fleet().setReplyTimeouts(2s, 500ms);
    window->show();
    return window;
}

QList<QJsonObject> records()
{
    QFile file(qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/zirbelwerk/flash-record.jsonl"));
    QList<QJsonObject> lines;
    if (file.open(QIODevice::ReadOnly))
        while (!file.atEnd())
            lines << QJsonDocument::fromJson(file.readLine()).object();
    return lines;
}

QJsonObject recordOf(const QString &port)
{
    for (const QJsonObject &line : records())
        if (line.value(QStringLiteral("port")).toString() == port)
            return line;
    return {};
}

// Runs the event loop until done() holds. QTRY's waits sleep between
// rounds, and a station in this process would then write a block a round.
bool waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    check.start(20);
    if (!done())
        loop.exec();
    return done();
}

bool allSettled(const StationWindow &window, int attempts)
{
    return window.writtenCount() + window.failedCount() == attempts && records().size() == attempts;
}

} // namespace

class StationTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void autoModeWritesEverySlotOnItsOwn();
    void swappedInstrumentIsWrittenAgain();
    void manualModeWaitsForStart();
    void wrongHashIsRefused();
    void unreadableStationFileEndsTheCall_data();
    void unreadableStationFileEndsTheCall();
    void deviceTakenElsewhereIsNotOpened_data();
    void deviceTakenElsewhereIsNotOpened();
    void secondStopInterruptsEveryWrite();
    void labelsFit_data();
    void labelsFit();

private:
    QTemporaryDir home;
};

void StationTest::init()
{
    QDir(home.filePath("share")).removeRecursively();
    qputenv("XDG_DATA_HOME", home.filePath("share").toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", home.filePath("config").toLocal8Bit());
}

void StationTest::autoModeWritesEverySlotOnItsOwn()
{
    Sims sims;
    QVERIFY(startSims(sims, {{}, {"--silent-at", "5"}, {"--hangup-at", "10"}, {"--block-ms", "1"}}));
    auto window = openStation(station(true));
    QVERIFY(waitUntil([&] { return allSettled(*window, 4); }, WriteTimeoutMs));

    for (const char *port : {"COM1", "COM4"}) {
        QCOMPARE(window->tileOf(port)->state(), SlotTile::State::Written);
        QVERIFY(window->tileOf(port)->stateText().startsWith("geschrieben "));
        QCOMPARE(recordOf(port).value("result").toString(), "written");
    }
    QCOMPARE(sims[0]->report().value("blocks"), "1008");
    SlotTile *silent = window->tileOf("COM2");
    QCOMPARE(silent->state(), SlotTile::State::Failed);
    QCOMPARE(silent->stateText(), "Fehler: Keine Antwort");
    QVERIFY2(silent->detailText().contains("HW aus- und einschalten"), qPrintable(silent->detailText()));
    QCOMPARE(recordOf("COM2").value("failure").toString(), "no_reply");
    QCOMPARE(recordOf("COM2").value("block").toInt(), 5);
    SlotTile *pulled = window->tileOf("COM3");
    QCOMPARE(pulled->stateText(), "Fehler: Verbindung unterbrochen");
    QCOMPARE(recordOf("COM3").value("failure").toString(), "line_lost");
    for (const QJsonObject &line : records()) {
        QCOMPARE(line.value("program").toString(), "zirbelwerk-station");
        QCOMPARE(line.value("station").toString(), "Station 3");
    }
    QCOMPARE(window->totalsText(), "Gesamt: geschrieben 2   Fehler 2   Ausbeute 50.0 %");
    // The report of the record, with the station's name.
    const QString page = window->writeReport();
    QFile report(page);
    QVERIFY2(report.open(QIODevice::ReadOnly), qPrintable(page));
    QVERIFY(report.readAll().contains("Station 3"));
    // Red stays while the stuck instrument is in its slot.
    QTest::qWait(500);
    QCOMPARE(silent->state(), SlotTile::State::Failed);
}

void StationTest::swappedInstrumentIsWrittenAgain()
{
    QTemporaryDir links;
    const QString link = links.filePath(QStringLiteral("slot"));
    qputenv("ZIRBELWERK_PORTS", link.toLocal8Bit());
    SimInstrument silent({"--no-answer"});
    QVERIFY(silent.start());
    QVERIFY(QFile::link(silent.devicePath(), link));
    auto window = openStation(station(true));
    QTest::qWait(2500);
    QCOMPARE(window->tileOf("COM1")->state(), SlotTile::State::Waiting);
    // The silent one's port is kept open; the slot's name now leads to
    // another device, still there, which must be asked instead.
    QVERIFY(QFile::remove(link));
    {
        SimInstrument first({"--erase-ms", "0", "--link", link});
        QVERIFY(first.start());
        QVERIFY(waitUntil([&] { return window->writtenCount() == 1; }, WriteTimeoutMs));
        QTest::qWait(2500);
        QCOMPARE(first.report().value("writes"), "1");
    }
    QTRY_COMPARE_WITH_TIMEOUT(window->tileOf("COM1")->state(), SlotTile::State::Waiting, FoundTimeoutMs);
    SimInstrument second({"--erase-ms", "0", "--link", link});
    QVERIFY(second.start());
    QVERIFY(waitUntil([&] { return window->writtenCount() == 2; }, WriteTimeoutMs));
    QVERIFY(second.waitForWrites(1, 5s));
    QCOMPARE(second.report().value("blocks"), "1008");
    QCOMPARE(window->tileOf("COM1")->findChild<QLabel *>("countsLabel")->text(), "geschrieben 2   Fehler 0   100 %");
}

void StationTest::manualModeWaitsForStart()
{
    Sims sims;
    QVERIFY(startSims(sims, {{}, {}}));
    auto window = openStation(station(false));
    QTRY_VERIFY_WITH_TIMEOUT(window->tiles().size() == 2 && window->tileOf("COM1")->isStartEnabled()
                                     && window->tileOf("COM2")->isStartEnabled(), FoundTimeoutMs);
    QCOMPARE(window->tileOf("COM1")->stateText(), "gefunden FW V1.23");
    QTest::qWait(1500);
    QCOMPARE(sims[0]->report().value("writes"), "0");

    // The tile's own start writes its slot alone.
    QTest::mouseClick(window->tileOf("COM2")->findChild<QPushButton *>(), Qt::LeftButton);
    QVERIFY(waitUntil([&] { return window->writtenCount() == 1; }, WriteTimeoutMs));
    QCOMPARE(sims[0]->report().value("writes"), "0");
    // Enter starts every ready slot; the written one is not ready again.
    QTest::keyClick(window.get(), Qt::Key_Return);
    QVERIFY(waitUntil([&] { return window->writtenCount() == 2; }, WriteTimeoutMs));
    QTest::qWait(1500);
    QCOMPARE(sims[1]->report().value("writes"), "1");
    QVERIFY(!window->tileOf("COM1")->isStartEnabled());
}

void StationTest::wrongHashIsRefused()
{
    Sims sims;
    QVERIFY(startSims(sims, {{}}));
    QTemporaryDir folder;
    const QString path = folder.filePath("line.zwstation");
    QFile::copy(FullHex, folder.filePath("fw.hex"));
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("firmware=fw.hex\nmode=auto\nname=Station 3\nsha256=" + QByteArray(64, 'a') + "\n");
    }
    StationFile setup;
    QVERIFY(setup.load(path));
    QCOMPARE(setup.firmware, folder.filePath("fw.hex"));
    auto window = openStation(setup);
    QVERIFY(!window->firmwareAccepted());
    QFile hex(FullHex);
    QVERIFY(hex.open(QIODevice::ReadOnly));
    const QString actual = QString::fromLatin1(QCryptographicHash::hash(hex.readAll(), QCryptographicHash::Sha256).toHex());
    QVERIFY2(window->firmwareText().contains(actual) && window->firmwareText().contains(QString(64, 'a')),
             qPrintable(window->firmwareText()));
    QTRY_COMPARE_WITH_TIMEOUT(window->tileOf("COM1")->stateText(), "gefunden FW V1.23", FoundTimeoutMs);
    QTest::qWait(1500);
    QCOMPARE(sims[0]->report().value("writes"), "0");

    // Saved by the station itself, the file pins the right hash.
    QVERIFY(window->saveStation(folder.filePath("fw.hex"), path));
    StationFile saved;
    QVERIFY(saved.load(path));
    QCOMPARE(saved.sha256, actual);
    QVERIFY(saved.automatic);
    QCOMPARE(saved.name, "Station 3");
}

void StationTest::unreadableStationFileEndsTheCall_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("said");
    QTest::newRow("missing file") << QStringList {"/nonexistent/a.zwstation"} << 1 << "nicht lesbar";
    QTest::newRow("wrong option") << QStringList {"--fast"} << 1 << "Unbekannte Option --fast";
    QTest::newRow("rearm out of range") << QStringList {"--rearm-after", "0"} << 1 << "--rearm-after";
}

void StationTest::unreadableStationFileEndsTheCall()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, said);
    QProcess station;
    station.start(QStringLiteral(ZW_STATION_EXECUTABLE), arguments);
    QVERIFY(station.waitForFinished(10000));
    QCOMPARE(station.exitCode(), status);
    QVERIFY2(station.readAllStandardError().contains(said.toUtf8()), qPrintable(said));
}

void StationTest::deviceTakenElsewhereIsNotOpened_data()
{
    QTest::addColumn<bool>("otherProgram");
    QTest::newRow("another program holds it") << true;
    QTest::newRow("the same device twice") << false;
}

void StationTest::deviceTakenElsewhereIsNotOpened()
{
    QFETCH(bool, otherProgram);
    SimInstrument sim({"--erase-ms", "0"});
    QVERIFY(sim.start());
    QTemporaryDir links;
    const QString link = links.filePath(QStringLiteral("by-id"));
    QVERIFY(QFile::link(sim.devicePath(), link));
    QProcess holder;
    if (otherProgram) {
        holder.start(QStringLiteral(ZW_PORTHOLD_EXECUTABLE), {link});
        QVERIFY(holder.waitForReadyRead(5000));
        qputenv("ZIRBELWERK_PORTS", sim.devicePath().toLocal8Bit());
    } else {
        qputenv("ZIRBELWERK_PORTS", (sim.devicePath() + ':' + link).toLocal8Bit());
    }
    auto window = openStation(station(true));
    if (otherProgram) {
        QTRY_COMPARE_WITH_TIMEOUT(window->tileOf("COM1")->stateText(), "von einem anderen Programm benutzt",
                                  FoundTimeoutMs);
        QCOMPARE(window->tileOf("COM1")->state(), SlotTile::State::PortFault);
        holder.kill();
        holder.waitForFinished();
    } else {
        QTRY_VERIFY_WITH_TIMEOUT(window->tileOf("COM2"), FoundTimeoutMs);
        QCOMPARE(window->tileOf("COM2")->stateText(), "dasselbe Geraet wie COM1");
    }
    QVERIFY(waitUntil([&] { return window->writtenCount() == 1; }, WriteTimeoutMs));
    QTest::qWait(1500);
    QCOMPARE(sim.report().value("writes"), "1");
    QCOMPARE(sim.violations(), QStringList());
}

void StationTest::secondStopInterruptsEveryWrite()
{
    Sims sims;
    QVERIFY(startSims(sims, {{"--block-ms", "20"}, {"--block-ms", "20"}}));
    auto window = openStation(station(true));
    QTRY_VERIFY_WITH_TIMEOUT(window->tileOf("COM1") && window->tileOf("COM2")
                                     && window->tileOf("COM1")->state() == SlotTile::State::Writing
                                     && window->tileOf("COM2")->state() == SlotTile::State::Writing,
                             FoundTimeoutMs);
    // The first stop, and a close, are refused while writing.
    QVERIFY(::kill(::getpid(), SIGTERM) == 0);
    QTest::qWait(300);
    QVERIFY(!window->close());
    QVERIFY(window->isVisible());
    QVERIFY(records().isEmpty());
    QVERIFY(::kill(::getpid(), SIGTERM) == 0);
    QVERIFY(waitUntil([&] { return !window->isVisible(); }, WriteTimeoutMs));
    QCOMPARE(records().size(), 2);
    for (const QJsonObject &line : records())
        QCOMPARE(line.value("result").toString(), "interrupted");
    QCOMPARE(window->tileOf("COM1")->stateText(), "Fehler: Abgebrochen");
}

void StationTest::labelsFit_data()
{
    QTest::addColumn<int>("slotCount");
    for (const int slotCount : {1, 4, 8, 16})
        QTest::addRow("%d slots", slotCount) << slotCount;
}

// Every state's texts inside their labels, large enough to read across the room.
void StationTest::labelsFit()
{
    QFETCH(int, slotCount);
    QStringList ports;
    for (int i = 0; i < slotCount; ++i)
        ports << QStringLiteral("/nonexistent/ttyUSB%1").arg(i);
    qputenv("ZIRBELWERK_PORTS", ports.join(QLatin1Char(':')).toLocal8Bit());
    auto window = openStation(station(false));
    window->resize(1280, 800);
    QTRY_COMPARE(window->tiles().size(), slotCount);
    const FlashOutcome lost(FlashOutcome::Failure::LineError, true, 1000, 1008);
    const FlashOutcome silent(FlashOutcome::Failure::NoReply, true, 5, 1008);
    const std::vector<std::function<void(SlotTile *)>> states {
        [](SlotTile *tile) { tile->showWaiting(); },
        [](SlotTile *tile) { tile->showFound(123, true); },
        [](SlotTile *tile) { tile->showWriting(1000, 1008); },
        [](SlotTile *tile) { tile->showWritten("23:59:59"); },
        [&](SlotTile *tile) { tile->showFailed(lost); },
        [&](SlotTile *tile) { tile->showFailed(silent); },
        [](SlotTile *tile) { tile->showPortFault(PortFault::held("COM16", "/dev/ttyUSB15")); },
        [](SlotTile *tile) { tile->showPortFault(PortFault::sameDevice("COM16", "/dev/ttyUSB15", "COM12")); },
    };
    for (const auto &show : states) {
        for (SlotTile *tile : window->tiles()) {
            show(tile);
            tile->setCounts(9999, 9999);
        }
        QApplication::processEvents();
        for (SlotTile *tile : window->tiles()) {
            QVERIFY2(tile->textsFit(), qPrintable(tile->stateText()));
            const QLabel *state = tile->findChild<QLabel *>("stateLabel");
            QVERIFY2(state->font().pixelSize() >= 16, qPrintable(QString::number(state->font().pixelSize())));
        }
    }
}

QTEST_MAIN(StationTest)
#include "tst_station.moc"
