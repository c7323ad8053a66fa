#include "serial/PortFault.h"

namespace {

QString portAndPath(const QString &name, const QString &path)
{
    return name == path ? name : QStringLiteral("%1 (%2)").arg(name, path);
}

} // namespace

PortFault PortFault::unknownName(const QString &name)
{
    return {Kind::NoSuchName, tr("Port %1 gibt es nicht").arg(name), tr("nicht vorhanden")};
}

QString PortFault::code() const
{
    switch (faultKind) {
    case Kind::None:
        return {};
    case Kind::NoSuchName:
    case Kind::Missing:
        return QStringLiteral("missing");
    case Kind::Held:
        return QStringLiteral("busy");
    case Kind::NoAccess:
        return QStringLiteral("no_access");
    case Kind::NotSerial:
        return QStringLiteral("not_serial");
    case Kind::SameDevice:
        return QStringLiteral("same_device");
    case Kind::Other:
        break;
    }
    return QStringLiteral("other");
}

PortFault PortFault::held(const QString &name, const QString &path, const QString &holder)
{
    if (!holder.isEmpty())
        return {Kind::Held, tr("Port %1 wird von %2 benutzt").arg(portAndPath(name, path), holder),
                tr("von einem anderen Programm benutzt")};
    return {Kind::Held, tr("Port %1 wird von einem anderen Programm benutzt").arg(portAndPath(name, path)),
            tr("von einem anderen Programm benutzt")};
}

PortFault PortFault::sameDevice(const QString &name, const QString &path, const QString &firstName)
{
    return {Kind::SameDevice,
            tr("Port %1 ist dasselbe Geraet wie %2, nicht noch einmal geoeffnet").arg(portAndPath(name, path), firstName),
            tr("dasselbe Geraet wie %1").arg(firstName)};
}

PortFault PortFault::missing(const QString &name, const QString &path)
{
    return {Kind::Missing, tr("Port %1 ist nicht vorhanden").arg(portAndPath(name, path)), tr("nicht vorhanden")};
}

PortFault PortFault::noAccess(const QString &name, const QString &path)
{
    return {Kind::NoAccess,
            tr("Kein Zugriff auf Port %1: Benutzer in die Gruppe dialout aufnehmen "
               "(sudo adduser $USER dialout) und neu anmelden").arg(portAndPath(name, path)),
            tr("kein Zugriff: Benutzer in die Gruppe dialout aufnehmen")};
}

PortFault PortFault::notSerial(const QString &name, const QString &path)
{
    return {Kind::NotSerial, tr("%1 ist kein serieller Port").arg(portAndPath(name, path)), tr("kein serieller Port")};
}

PortFault PortFault::blocked(const QString &name, const QString &path, const QString &reason)
{
    return {Kind::Held, other(name, path, reason).text(), reason};
}

PortFault PortFault::other(const QString &name, const QString &path, const QString &reason)
{
    return {Kind::Other, tr("Port %1 nicht geoeffnet: %2").arg(portAndPath(name, path), reason), reason};
}
