// Makes the README's picture of the station: the real window, offscreen,
// with six simulated instruments: one written, one failed, and four paced
// so that their writes are a fifth to three quarters done when it is taken.
#include "SimInstrument.h"
#include "station/SlotTile.h"
#include "station/StationFile.h"
#include "station/StationWindow.h"

#include <QApplication>
#include <QEventLoop>
#include <QStandardPaths>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

using namespace std::chrono_literals;

namespace {

constexpr auto WritingTimeout = 10s;
constexpr auto PollInterval = 50ms;
// At 5 to 18 ms a block, 1008 blocks take 5 to 18 s.
constexpr auto ShownAfter = 4s;

// A plain event loop: QTest's waits sleep between rounds, and so pace
// every block of the writes.
bool waitFor(const std::function<bool()> &done, std::chrono::milliseconds timeout)
{
    QEventLoop loop;
    QTimer poll;
    poll.callOnTimeout(&loop, [&] {
        if (done())
            loop.quit();
    });
    poll.start(PollInterval);
    QTimer::singleShot(timeout, &loop, &QEventLoop::quit);
    loop.exec();
    return done();
}

bool allWriting(const QList<SlotTile *> &tiles)
{
    for (SlotTile *tile : tiles)
        if (tile == nullptr || tile->state() != SlotTile::State::Writing)
            return false;
    return true;
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
    const QList<QStringList> paces {{"--block-ms", "0"}, {"--block-ms", "5"},  {"--block-ms", "8"},
                                    {"--silent-at", "300"}, {"--block-ms", "12"}, {"--block-ms", "18"}};
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
    if (!waitFor([&] { return allWriting(paced()); }, WritingTimeout))
        return 1;
    QTimer::singleShot(ShownAfter, [&] {
        const bool shown = window.writtenCount() == 1 && window.failedCount() == 1 && allWriting(paced());
        if (!shown)
            qCritical("not one written, one failed and four writing");
        application.exit(shown && window.grab().save(QString::fromLocal8Bit(argv[1])) ? 0 : 1);
    });
    return application.exec();
}
