#include "device/FlashRecord.h"

#include "device/RecordFile.h"
#include "device/VersionReply.h"

#include "serial/PortIdentity.h"
#include "zwversion.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QStandardPaths>
#include <QSysInfo>

#include <cmath>

namespace {

const QString DeviceKey = QStringLiteral("device");
const QString ResultKey = QStringLiteral("result");
const QString ResultWritten = QStringLiteral("written");
constexpr std::chrono::milliseconds LockRetry {20};
// A few thousand lines: far more than a production line writes between
// two writes to one port.
constexpr qint64 TailBytes = 4 * 1024 * 1024;
constexpr qint64 TailChunk = 64 * 1024;

QJsonValue textOrNull(const QString &text)
{
    return text.isEmpty() ? QJsonValue() : QJsonValue(text);
}

QString resultOf(const FlashOutcome &outcome)
{
    if (outcome.isWritten())
        return ResultWritten;
    if (outcome.failure() == FlashOutcome::Failure::Interrupted)
        return QStringLiteral("interrupted");
    return QStringLiteral("failed");
}

void addSurroundings(QJsonObject &entry)
{
    entry[QStringLiteral("time")] = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
    entry[QStringLiteral("version")] = QStringLiteral(ZW_VERSION);
    entry[QStringLiteral("host")] = textOrNull(QSysInfo::machineHostName());
    entry[QStringLiteral("user")] = textOrNull(RecordFile::userName());
}

void addPort(QJsonObject &entry, const FlashRecordFacts &facts)
{
    const PortIdentity identity = PortIdentity::of(facts.device);
    entry[QStringLiteral("port")] = textOrNull(facts.port);
    entry[DeviceKey] = textOrNull(facts.device);
    entry[QStringLiteral("usb_vid")] = textOrNull(PortIdentity::hexId(identity.vendorId));
    entry[QStringLiteral("usb_pid")] = textOrNull(PortIdentity::hexId(identity.productId));
    entry[QStringLiteral("usb_serial")] = textOrNull(identity.serialNumber);
    entry[QStringLiteral("usb_description")] = textOrNull(identity.description);
    const auto version = facts.firmwareBefore;
    entry[QStringLiteral("firmware_before")] =
            version ? QJsonValue(VersionReply::versionText(*version)) : QJsonValue();
}

void addFile(QJsonObject &entry, const FlashRecordFacts &facts)
{
    const bool known = !facts.file.isEmpty();
    entry[QStringLiteral("file")] = textOrNull(facts.file);
    entry[QStringLiteral("file_size")] = known ? QJsonValue(facts.fileSize) : QJsonValue();
    entry[QStringLiteral("file_sha256")] = textOrNull(QString::fromLatin1(facts.fileSha256.toHex()));
    entry[QStringLiteral("image_length")] = facts.imageLength;
}

void addOutcome(QJsonObject &entry, const FlashRecordFacts &facts)
{
    const FlashOutcome &outcome = facts.outcome;
    entry[QStringLiteral("blocks")] = outcome.blockTotal();
    entry[ResultKey] = resultOf(outcome);
    entry[QStringLiteral("failure")] = textOrNull(outcome.code());
    entry[QStringLiteral("message")] = outcome.fullText();
    entry[QStringLiteral("block")] = outcome.blockReached();
    entry[QStringLiteral("seconds")] = std::round(facts.seconds * 1000) / 1000;
}

// The result of the device's line, if this line is one; a line that
// does not name the device is not parsed at all.
QString resultIn(const QByteArray &line, const QString &device, const QByteArray &needle)
{
    if (!needle.isEmpty() && !line.contains(needle))
        return {};
    const QJsonObject entry = QJsonDocument::fromJson(line).object();
    if (entry.value(DeviceKey).toString() != device)
        return {};
    return entry.value(ResultKey).toString();
}

// The result of the last line for device within the file's last bytes.
QString lastResultFor(QFile &file, const QString &device)
{
    // Qt writes a path as it is, unless it holds quotes or backslashes.
    const QByteArray needle = device.contains(QLatin1Char('"')) || device.contains(QLatin1Char('\\'))
            ? QByteArray() : device.toUtf8();
    const qint64 end = file.size();
    const qint64 stop = qMax<qint64>(0, end - TailBytes);
    QByteArray rest; // a line's start, read before its end
    for (qint64 from = end; from > stop;) {
        const qint64 at = qMax(stop, from - TailChunk);
        if (!file.seek(at))
            return {};
        QByteArray chunk = file.read(from - at) + rest;
        from = at;
        QList<QByteArray> lines = chunk.split('\n');
        rest = from > stop ? lines.takeFirst() : QByteArray();
        for (auto line = lines.crbegin(); line != lines.crend(); ++line) {
            const QString result = resultIn(*line, device, needle);
            if (!result.isEmpty())
                return result;
        }
    }
    return {};
}

} // namespace

QString FlashRecord::defaultPath()
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return data.isEmpty() ? QString() : data + QStringLiteral("/zirbelwerk/flash-record.jsonl");
}

FlashRecord::FlashRecord(QString path, QObject *parent)
    : QObject(parent), filePath(std::move(path))
{
    retry.setSingleShot(true);
    retry.setInterval(LockRetry);
    connect(&retry, &QTimer::timeout, this, &FlashRecord::tryLock);
}

FlashRecord::~FlashRecord()
{
    // Whoever listened may be gone already.
    blockSignals(true);
    abandon();
}

QJsonObject FlashRecord::entry(const FlashRecordFacts &facts)
{
    QJsonObject entry;
    addSurroundings(entry);
    entry[QStringLiteral("program")] = facts.program;
    entry[QStringLiteral("station")] = textOrNull(facts.station);
    addPort(entry, facts);
    addFile(entry, facts);
    addOutcome(entry, facts);
    return entry;
}

void FlashRecord::append(const QJsonObject &entry)
{
    queue << QJsonDocument(entry).toJson(QJsonDocument::Compact) + '\n';
    if (queue.size() == 1)
        QMetaObject::invokeMethod(this, &FlashRecord::startNext, Qt::QueuedConnection);
}

void FlashRecord::startNext()
{
    if (queue.isEmpty() || file)
        return;
    error.clear();
    if (filePath.isEmpty()) {
        finish(tr("kein Ort fuer Daten des Benutzers bekannt"));
        return;
    }
    const QString folder = QFileInfo(filePath).absolutePath();
    if (!QDir().mkpath(folder)) {
        finish(tr("Ordner %1 kann nicht angelegt werden").arg(QDir::toNativeSeparators(folder)));
        return;
    }
    file = std::make_unique<RecordFile>();
    const QString reason = file->open(filePath);
    if (!reason.isEmpty()) {
        finish(reason);
        return;
    }
    lockDeadline.setRemainingTime(lockWait);
    tryLock();
}

void FlashRecord::tryLock()
{
    switch (file->tryLock()) {
    case RecordFile::Lock::Taken:
        finish(file->append(queue.join()));
        return;
    case RecordFile::Lock::Held:
        if (lockDeadline.hasExpired())
            finish(tr("von einem anderen Programm gesperrt, %1 s gewartet")
                           .arg(double(lockWait.count()) / 1000.0));
        else
            retry.start();
        return;
    case RecordFile::Lock::Failed:
        finish(file->lastError());
        return;
    }
}

// For every line queued: those that came while the first waited for the
// lock shared its wait, and go in (or not) with it.
void FlashRecord::finish(const QString &reason)
{
    retry.stop();
    file.reset();
    const qsizetype lines = queue.size();
    queue.clear();
    if (!reason.isEmpty())
        error = tr("Flash-Protokoll nicht geschrieben: %1: %2").arg(QDir::toNativeSeparators(filePath), reason);
    // Later: a listener may queue another line, or abandon.
    QMetaObject::invokeMethod(this, &FlashRecord::startNext, Qt::QueuedConnection);
    for (qsizetype i = 0; i < lines; ++i)
        emit appended(reason.isEmpty());
}

void FlashRecord::abandon()
{
    if (!queue.isEmpty())
        lastTry();
}

// Without waiting for a lock someone else holds.
void FlashRecord::lastTry()
{
    if (!file) {
        file = std::make_unique<RecordFile>();
        QDir().mkpath(QFileInfo(filePath).absolutePath());
        if (const QString reason = file->open(filePath); !reason.isEmpty()) {
            finish(reason);
            return;
        }
    }
    switch (file->tryLock()) {
    case RecordFile::Lock::Taken:
        finish(file->append(queue.join()));
        return;
    case RecordFile::Lock::Held:
        finish(tr("von einem anderen Programm gesperrt; beim Beenden aufgegeben"));
        return;
    case RecordFile::Lock::Failed:
        finish(file->lastError());
        return;
    }
}

bool FlashRecord::lastWriteUnfinished(const QString &device) const
{
    // Only a regular file: opening a FIFO to read would wait for a writer.
    QFile records(filePath);
    if (device.isEmpty() || !QFileInfo(filePath).isFile() || !records.open(QIODevice::ReadOnly))
        return false;
    const QString last = lastResultFor(records, device);
    return !last.isEmpty() && last != ResultWritten;
}
