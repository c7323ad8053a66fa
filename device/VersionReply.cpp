#include "device/VersionReply.h"

namespace {
const QString ExpectedTag = QStringLiteral("KB");
}

VersionReply VersionReply::fromBytes(const char *bytes)
{
    VersionReply reply;
    reply.tag = QString::fromLatin1(bytes + 2, 2);
    // Anything but a number reads as 0, which is refused below.
    reply.version = QString::fromLatin1(bytes + 4, 3).toInt(nullptr, 10);
    return reply;
}

bool VersionReply::isAccepted() const
{
    return tag == ExpectedTag && version >= LowestAcceptedVersion;
}

QString VersionReply::versionText(int version)
{
    return QStringLiteral("V%1.%2").arg(version / 100).arg(version % 100, 2, 10, QLatin1Char('0'));
}
