#include "SimInstrument.h"
#include "device/FlashWriter.h"
#include "station/StationFirmware.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <vector>

using namespace std::chrono_literals;

namespace {

const QString FullHex = QStringLiteral(ZW_TEST_DATA "/hex/full.hex");
constexpr auto WriteTimeout = 60s;

} // namespace

// The station program itself, as a fixture's PC starts it: on Windows too,
// where its slots are the COM ports the system lists.
class StationProcessTest : public QObject
{
    Q_OBJECT

private slots:
    void autoModeWritesEverySlotByteExact();
};

void StationProcessTest::autoModeWritesEverySlotByteExact()
{
    StationFirmware firmware;
    QVERIFY(firmware.load(FullHex, {}));
    const int length = FlashWriter::blockTotalFor(firmware.loader().imageLength()) * FlashWriter::BlockSize;
    QByteArray expected(65536, char(0xFF));
    expected.replace(0, length, firmwareBytes(firmware.loader().image(), length));

    std::vector<std::unique_ptr<SimInstrument>> sims;
    QStringList ports;
    for (const int com : {3, 4}) {
        sims.push_back(std::make_unique<SimInstrument>(QStringList {"--erase-ms", "0"}));
        sims.back()->setComNumber(com);
        QVERIFY(sims.back()->start());
        ports << sims.back()->devicePath();
    }
    // The fixture's slots named in the station file, as on a Windows PC
    // whose COM ports are in no list of the system's.
    QTemporaryDir folder;
    QVERIFY(QFile::copy(FullHex, folder.filePath("fw.hex")));
    const QString setup = folder.filePath("line.zwstation");
    QFile file(setup);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("firmware=fw.hex\nmode=auto\nports=" + ports.join(QLatin1Char(',')).toUtf8() + '\n');
    file.close();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_DATA_HOME"), folder.path());
    QProcess station;
    station.setProcessEnvironment(environment);
    station.setProcessChannelMode(QProcess::ForwardedChannels);
    station.start(QStringLiteral(ZW_STATION_EXECUTABLE), {setup});
    QVERIFY(station.waitForStarted());

    for (const auto &sim : sims) {
        QVERIFY2(sim->waitForWrites(1, WriteTimeout), qPrintable(sim->devicePath()));
        QCOMPARE(sim->violations(), QStringList());
        QCOMPARE(sim->memory(), expected);
    }
    // Done with these, it waits for the next instruments.
    QCOMPARE(station.state(), QProcess::Running);
    station.kill();
    station.waitForFinished();
}

QTEST_MAIN(StationProcessTest)
#include "tst_stationprocess.moc"
