// Makes the README's picture of the station: the real window, offscreen,
// with six simulated instruments: one written, one failed, four paced so
// that their writes are part-way when it is taken.
#include "SimInstrument.h"
#include "station/SlotTile.h"
#include "station/StationFile.h"
#include "station/StationWindow.h"

#include <QApplication>
#include <QStandardPaths>
#include <QTest>

#include <memory>
#include <vector>

using namespace std::chrono_literals;

namespace {

constexpr int WritingTimeoutMs = 10000;
// With 6 to 15 ms a block, the writes are a third to three quarters done.
constexpr int WriteShownAfterMs = 4500;

bool allWriting(const QList<SlotTile *> &tiles)
{
    for (SlotTile *tile : tiles)
        if (tile->state() != SlotTile::State::Writing)
            return false;
    return !tiles.isEmpty();
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 2) {
        qCritical("usage: zw_station_screenshot OUTPUT.png");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    const QList<QStringList> paces {{"--block-ms", "0"}, {"--block-ms", "6"},  {"--block-ms", "9"},
                                    {"--silent-at", "300"}, {"--block-ms", "12"}, {"--block-ms", "15"}};
    std::vector<std::unique_ptr<SimInstrument>> sims;
    QStringList ports;
    for (const QStringList &pace : paces) {
        sims.push_back(std::make_unique<SimInstrument>(QStringList {"--erase-ms", "0"} + pace));
        if (!sims.back()->start())
            return 1;
        ports << sims.back()->devicePath();
    }
    qputenv("ZIRBELWERK_PORTS", ports.join(QLatin1Char(':')).toLocal8Bit());

    StationFile setup = StationFile::ofHexFile(QStringLiteral(ZW_TEST_DATA "/hex/full.hex"));
    setup.automatic = true;
    setup.name = QStringLiteral("Linie 3");
    StationWindow window(setup);
    window.fleet().setReplyTimeouts(2s, 500ms);
    window.resize(1200, 700);
    window.show();
    const auto paced = [&] {
        return QList<SlotTile *> {window.tileOf("COM2"), window.tileOf("COM3"), window.tileOf("COM5"),
                                  window.tileOf("COM6")};
    };
    if (!QTest::qWaitFor([&] { return window.tiles().size() == 6 && allWriting(paced()); }, WritingTimeoutMs))
        return 1;
    QTest::qWait(WriteShownAfterMs);
    if (window.writtenCount() != 1 || window.failedCount() != 1 || !allWriting(paced()))
        return 1;
    return window.grab().save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
