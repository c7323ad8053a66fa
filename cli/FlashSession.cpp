#include "cli/FlashSession.h"

#include "cli/FirmwareCheck.h"
#include "serial/Modem.h"

namespace {
constexpr std::chrono::seconds TickInterval {1};
} // namespace

FlashSession::FlashSession(Modem &modem, Target target, const FirmwareCheck &firmware, QObject *parent)
    : QObject(parent), modem(modem), where(std::move(target)), firmware(firmware)
{
    eraseTicker.setInterval(TickInterval);
    connect(&eraseTicker, &QTimer::timeout, this, &FlashSession::tick);
    connect(&writer, &FlashWriter::blockReleased, this, [this](int released, int total) {
        eraseTicker.stop();
        emit progressed(released, total);
    });
    connect(&writer, &FlashWriter::finished, this, [this] {
        eraseTicker.stop();
        took = seconds();
        emit finished();
    });
}

void FlashSession::start()
{
    clock.start();
    if (!writer.start(modem.device(), firmware.image(), firmware.imageLength())) {
        took = 0;
        QMetaObject::invokeMethod(this, &FlashSession::finished, Qt::QueuedConnection);
        return;
    }
    eraseTicker.start();
}

void FlashSession::interrupt()
{
    writer.interrupt();
}

void FlashSession::tick()
{
    emit waiting(int(clock.elapsed() / 1000));
}

int FlashSession::blockTotal() const
{
    return FlashWriter::blockTotalFor(firmware.imageLength());
}

double FlashSession::seconds() const
{
    if (!writer.isRunning() && clock.isValid() && took > 0)
        return took;
    return clock.isValid() ? double(clock.elapsed()) / 1000.0 : 0.0;
}
