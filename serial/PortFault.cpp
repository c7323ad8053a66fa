#include "serial/PortFault.h"

#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

QString portAndPath(const QString &name, const QString &path)
{
    return name == path ? name : QStringLiteral("%1 (%2)").arg(name, path);
}

// QSerialPort says "permission" both for a device the user may not open
// and for one whose lock another program holds; only the first is about
// rights.
bool mayOpen(const QString &path)
{
#ifdef Q_OS_UNIX
    return ::access(QFile::encodeName(path).constData(), R_OK | W_OK) == 0;
#else
    Q_UNUSED(path);
    return false;
#endif
}

// A file, a folder or a device that is no terminal (/dev/null); the error
// code QSerialPort gives for these differs, the system's reason does not.
bool isNoSerialDevice(const QString &path, const QString &reason)
{
#ifdef Q_OS_UNIX
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) == 0 && !S_ISCHR(status.st_mode))
        return true;
    return reason == qt_error_string(ENOTTY);
#else
    Q_UNUSED(path);
    Q_UNUSED(reason);
    return false;
#endif
}

} // namespace

PortFault PortFault::unknownName(const QString &name)
{
    return {Kind::NoSuchName, tr("Port %1 gibt es nicht").arg(name)};
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

PortFault PortFault::held(const QString &name, const QString &path)
{
    return {Kind::Held, tr("Port %1 wird von einem anderen Programm benutzt").arg(portAndPath(name, path))};
}

PortFault PortFault::sameDevice(const QString &name, const QString &path, const QString &firstName)
{
    return {Kind::SameDevice,
            tr("Port %1 ist dasselbe Geraet wie %2, nicht noch einmal geoeffnet").arg(portAndPath(name, path), firstName)};
}

PortFault PortFault::diagnose(const QString &name, const QString &path, QSerialPort::SerialPortError error,
                              const QString &reason)
{
    const QString where = portAndPath(name, path);
    if (error == QSerialPort::DeviceNotFoundError)
        return {Kind::Missing, tr("Port %1 ist nicht vorhanden").arg(where)};
    if (error == QSerialPort::PermissionError && mayOpen(path))
        return held(name, path);
    if (error == QSerialPort::PermissionError)
        return {Kind::NoAccess,
                tr("Kein Zugriff auf Port %1: Benutzer in die Gruppe dialout aufnehmen "
                   "(sudo adduser $USER dialout) und neu anmelden").arg(where)};
    if (isNoSerialDevice(path, reason))
        return {Kind::NotSerial, tr("%1 ist kein serieller Port").arg(where)};
    return {Kind::Other, tr("Port %1 nicht geoeffnet: %2").arg(where, reason)};
}
