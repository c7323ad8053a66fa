#include "device/FlashRecordFacts.h"

#include "device/VersionReply.h"
#include "record/FlashRecord.h"
#include "record/RecordFile.h"
#include "serial/PortIdentity.h"
#include "zwversion.h"

#include <QDateTime>
#include <QSysInfo>

#include <cmath>

namespace {

QJsonValue textOrNull(const QString &text)
{
    return text.isEmpty() ? QJsonValue() : QJsonValue(text);
}

QString resultOf(const FlashOutcome &outcome)
{
    if (outcome.isWritten())
        return QLatin1String(FlashRecord::ResultWritten);
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
    const PortIdentity &identity = facts.usb;
    entry[QStringLiteral("port")] = textOrNull(facts.port);
    entry[QLatin1String(FlashRecord::DeviceKey)] = textOrNull(facts.device);
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
    entry[QLatin1String(FlashRecord::ResultKey)] = resultOf(outcome);
    entry[QStringLiteral("failure")] = textOrNull(outcome.code());
    entry[QStringLiteral("message")] = outcome.fullText();
    entry[QStringLiteral("block")] = outcome.blockReached();
    entry[QStringLiteral("seconds")] = std::round(facts.seconds * 1000) / 1000;
}

} // namespace

QJsonObject FlashRecordFacts::entry() const
{
    const FlashRecordFacts &facts = *this;
    QJsonObject entry;
    addSurroundings(entry);
    entry[QStringLiteral("program")] = facts.program;
    entry[QStringLiteral("station")] = textOrNull(facts.station);
    addPort(entry, facts);
    addFile(entry, facts);
    addOutcome(entry, facts);
    return entry;
}
