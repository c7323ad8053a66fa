#include "fleet/FleetWatch.h"

#include "record/FlashRecord.h"
#include "image/HexLoader.h"
#include "serial/DeviceId.h"
#include "serial/PortIdentity.h"
#include "serial/PortNames.h"

#include <algorithm>
#include <utility>

namespace {

// A slot named by its adapter's USB serial number is wherever that adapter
// is plugged in now.
QString pathOfSerialNumber(const QString &serialNumber)
{
    for (const QString &path : PortNames::devicePaths()) {
        if (PortIdentity::of(path).serialNumber == serialNumber)
            return path;
    }
    return {};
}

QString pathOfName(const QString &name)
{
    if (PortNames::comNumber(name) > 0 || name.startsWith(QLatin1Char('/')))
        return PortNames::devicePath(name);
    return pathOfSerialNumber(name);
}

} // namespace

FleetWatch::FleetWatch(const char *program, FlashRecord &record, QObject *parent)
    : QObject(parent), program(program), record(record)
{
    roundTimer.setInterval(RoundInterval);
    connect(&roundTimer, &QTimer::timeout, this, &FleetWatch::round);
}

FleetWatch::~FleetWatch() = default;

void FleetWatch::setScope(Scope newScope, const QStringList &newNames)
{
    scope = newScope;
    names = newNames;
}

void FleetWatch::setFirmware(const QString &path, const HexLoader &loader)
{
    firmwarePath = path;
    firmware = &loader;
}

void FleetWatch::setReplyTimeouts(std::chrono::milliseconds first, std::chrono::milliseconds perBlock)
{
    firstReplyTimeout = first;
    blockReplyTimeout = perBlock;
}

void FleetWatch::start(bool repeat)
{
    taking = true;
    if (repeat)
        roundTimer.start();
    round();
}

void FleetWatch::stopTaking()
{
    taking = false;
    roundTimer.stop();
}

void FleetWatch::interruptAll()
{
    for (const auto &slot : followed)
        if (slot->session && slot->session->isRunning())
            slot->session->interrupt();
}

bool FleetWatch::startReady(int index)
{
    Slot &slot = *followed.at(size_t(index));
    if (!slot.ready || !taking || isWriting(index))
        return false;
    slot.ready = false;
    slot.startAsked = true;
    // Asked once more, so that what is written is what answers now.
    if (!slot.probe)
        probe(index);
    return true;
}

int FleetWatch::startAllReady()
{
    int started = 0;
    for (int slot = 0; slot < slotCount(); ++slot)
        started += startReady(slot) ? 1 : 0;
    return started;
}

bool FleetWatch::anyRunning() const
{
    return std::any_of(followed.begin(), followed.end(),
                       [](const auto &slot) { return slot->session && slot->session->isRunning(); });
}

bool FleetWatch::probesPending() const
{
    return std::any_of(followed.begin(), followed.end(), [](const auto &slot) { return slot->probe && !slot->session; });
}

bool FleetWatch::isWriting(int slot) const
{
    const WriteSession *session = at(slot).session.get();
    return session && session->isRunning();
}

QStringList FleetWatch::followedDevices() const
{
    QStringList devices;
    switch (scope) {
    case Scope::Named:
        for (const QString &name : names)
            devices << pathOfName(name);
        break;
    case Scope::ComNames:
        for (const QString &name : PortNames::comNames())
            devices << PortNames::devicePath(name);
        break;
    case Scope::Adapters:
        for (const QString &path : PortNames::devicePaths())
            if (PortNames::fromEnvironment() || PortNames::isUsbAdapter(path))
                devices << path;
        break;
    case Scope::Fixture:
        devices = PortNames::fixturePaths();
        break;
    }
    devices.removeAll(QString());
    devices.removeDuplicates();
    return devices;
}

// One name per device, the first: a second opener of a device would break
// into the first one's write. The others are told, not opened.
QStringList FleetWatch::distinct(const QStringList &devices)
{
    QStringList kept;
    QList<DeviceId> ids;
    for (const QString &device : devices) {
        const DeviceId id = DeviceId::of(device);
        const qsizetype first = ids.indexOf(id);
        if (id.isValid() && first >= 0) {
            const QString port = PortNames::comName(device);
            emit portFault(-1, port, device, PortFault::sameDevice(port, device, PortNames::comName(kept.at(first))));
            continue;
        }
        kept << device;
        ids << id;
    }
    return kept;
}

void FleetWatch::round()
{
    if (!taking)
        return;
    const QStringList devices = distinct(followedDevices());
    emit devicesListed(devices);
    for (const QString &device : devices) {
        const bool known = std::any_of(followed.begin(), followed.end(),
                                       [&](const auto &slot) { return slot->device == device; });
        if (!known) {
            followed.push_back(std::make_unique<Slot>());
            followed.back()->device = device;
            followed.back()->port = PortNames::comName(device);
            emit slotAdded(slotCount() - 1);
        }
    }
    // Also the ports a list no longer names: some drivers never list
    // theirs, and only a port that fails to open has lost its instrument.
    probing = true;
    for (int slot = 0; slot < slotCount(); ++slot)
        if (!followed[size_t(slot)]->probe && !isWriting(slot))
            probe(slot);
    probing = false;
    emit settled();
}

void FleetWatch::probe(int index)
{
    Slot &slot = *followed[size_t(index)];
    slot.port = PortNames::comName(slot.device);
    slot.session.reset();
    if (slot.silent && slot.silent->askAgain(slot.port)) {
        slot.probe = std::move(slot.silent);
        return;
    }
    slot.silent.reset();
    // Named by its COM name, so that what the port says names both; opened
    // at the device this round found, not looked up again.
    slot.probe = std::make_unique<PortProbe>(slot.port, slot.device);
    slot.probe->setKeepSilentOpen(keepSilentOpen);
    connect(slot.probe.get(), &PortProbe::finished, this, [this, index] { onProbed(index); });
    slot.probe->start(baud != 0 ? baud : Modem::DefaultBaudRate);
}

void FleetWatch::onProbed(int index)
{
    Slot &slot = *followed[size_t(index)];
    const PortProbe::Result result = slot.probe->result();
    if (result == PortProbe::Result::Found) {
        onAnswer(index);
        return;
    }
    if (result == PortProbe::Result::Unavailable) {
        // Gone, or taken: what answers there next is a new instrument.
        slot.armed = true;
        emit portFault(index, slot.port, slot.device, slot.probe->modem().fault());
    }
    slot.ready = false;
    slot.startAsked = false;
    if (result == PortProbe::Result::NoReply && slot.probe->modem().device())
        slot.silent = std::move(slot.probe);
    else
        retire(slot);
    emit unanswered(index, result);
    if (slot.present && slot.lastAnswer.hasExpired(silenceForNew().count())) {
        slot.present = false;
        slot.armed = true;
        emit vacated(index);
    }
    emit settled();
}

void FleetWatch::onAnswer(int index)
{
    Slot &slot = *followed[size_t(index)];
    noteAnswer(slot);
    slot.version = slot.probe->firmwareVersion();
    const bool asked = std::exchange(slot.startAsked, false);
    if (writing && taking && slot.armed && (autoStart || asked)) {
        startWrite(index);
        return;
    }
    slot.ready = writing && taking && slot.armed;
    slot.probe->modem().closePort();
    retire(slot);
    emit answered(index, slot.version, slot.ready);
    emit settled();
}

// A probe ends inside its port's signals (a reply, the write's last
// acknowledgement), which must not lose their port under them: it goes on
// the event loop's next turn.
void FleetWatch::retire(Slot &slot)
{
    retired.push_back(std::move(slot.probe));
    if (retired.size() == 1)
        QMetaObject::invokeMethod(this, [this] { retired.clear(); }, Qt::QueuedConnection);
}

// An instrument that was silent long enough since its last answer was
// taken off the fixture or switched off: what answers now is a new one.
void FleetWatch::noteAnswer(Slot &slot)
{
    if (slot.lastAnswer.isValid() && slot.lastAnswer.hasExpired(silenceForNew().count()))
        slot.armed = true;
    slot.lastAnswer.start();
    slot.present = true;
}

std::chrono::milliseconds FleetWatch::silenceForNew() const
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(rearmAfter) + RoundInterval;
}

void FleetWatch::startWrite(int index)
{
    Slot &slot = *followed[size_t(index)];
    slot.armed = false;
    slot.ready = false;
    const WriteSession::Target target {slot.port, slot.device, slot.version};
    slot.session = std::make_unique<WriteSession>(program, record);
    WriteSession *session = slot.session.get();
    session->setStation(stationName);
    session->flashWriter().setReplyTimeouts(firstReplyTimeout, blockReplyTimeout);
    session->fileAccepted(firmwarePath, *firmware);
    connect(session, &WriteSession::waiting, this, [this, index](int seconds) { emit waiting(index, seconds); });
    connect(session, &WriteSession::progressed, this,
            [this, index](int released, int total) { emit progressed(index, released, total); });
    connect(session, &WriteSession::finished, this, [this, index] { onWritten(index); });
    emit writeStarted(index, slot.version);
    session->start(slot.probe->modem().device(), target, firmware->image(), firmware->imageLength());
}

void FleetWatch::onWritten(int index)
{
    Slot &slot = *followed[size_t(index)];
    emit written(index);
    slot.probe->modem().closePort();
    retire(slot);
    slot.lastAnswer.start();
    emit settled();
}
