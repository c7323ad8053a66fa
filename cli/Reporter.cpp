#include "cli/Reporter.h"

#include "cli/Console.h"
#include "device/VersionReply.h"
#include "device/WriteSession.h"
#include "record/FlashRecord.h"
#include "serial/PortIdentity.h"

#include <QJsonDocument>

namespace {

QJsonValue nullOr(const QString &text)
{
    return text.isNull() ? QJsonValue() : QJsonValue(text);
}

} // namespace

Reporter::Reporter(Console &console, bool json)
    : out(console), json(json)
{
    if (json)
        out.reserveOutputForRaw();
}

void Reporter::say(const QString &text)
{
    out.line(text);
}

void Reporter::warn(const QString &text)
{
    out.error(text);
}

void Reporter::emitJson(const QString &type, QJsonObject fields)
{
    if (!json)
        return;
    fields.insert(QStringLiteral("type"), type);
    out.raw(QString::fromUtf8(QJsonDocument(fields).toJson(QJsonDocument::Compact)));
}

void Reporter::progress(const QString &port, int blocksSent, int blockTotal, bool last)
{
    if (!json)
        return;
    QElapsedTimer &since = lastProgress[port];
    if (!last && since.isValid() && !since.hasExpired(WriteSession::ProgressInterval.count()))
        return;
    since.start();
    emitJson(QStringLiteral("progress"),
             {{QStringLiteral("port"), port}, {QStringLiteral("block"), blocksSent}, {QStringLiteral("blocks"), blockTotal}});
}

void Reporter::found(const QString &port, const QString &device, int firmwareVersion)
{
    if (!json)
        return;
    const PortIdentity identity = PortIdentity::of(device);
    QJsonObject fields {{QStringLiteral("usb_vid"), nullOr(PortIdentity::hexId(identity.vendorId))},
                        {QStringLiteral("usb_pid"), nullOr(PortIdentity::hexId(identity.productId))},
                        {QStringLiteral("usb_serial"), nullOr(identity.serialNumber)},
                        {QStringLiteral("usb_description"), nullOr(identity.description)}};
    fields.insert(QStringLiteral("port"), port);
    fields.insert(QStringLiteral("device"), device);
    fields.insert(QStringLiteral("firmware"), VersionReply::versionText(firmwareVersion));
    emitJson(QStringLiteral("found"), fields);
}

void Reporter::summary(int written, int failed, int exitCode)
{
    emitJson(QStringLiteral("summary"), {{QStringLiteral("written"), written},
                                         {QStringLiteral("failed"), failed},
                                         {QStringLiteral("exit"), exitCode}});
}

void Reporter::warnWhenNotRecorded(FlashRecord &record)
{
    QObject::connect(&record, &FlashRecord::appended, &record, [this, &record](bool written) {
        if (!written)
            warn(record.errorString());
    });
}
