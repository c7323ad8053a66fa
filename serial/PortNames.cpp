#include "serial/PortNames.h"

#include "serial/PortIdentity.h"
#include "serial/SystemPorts.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <chrono>
#include <tuple>

namespace {

// The search asks for a path every 100 ms; a fresh enumeration a second is
// enough to notice an adapter that was plugged in.
constexpr std::chrono::milliseconds EnumerationLifetime{1000};

int deviceGroup(const QString &name)
{
    if (name.startsWith(QLatin1String("ttyUSB")))
        return 0;
    if (name.startsWith(QLatin1String("ttyACM")))
        return 1;
    return 2;
}

constexpr int OtherDevices = 2;

// ttyS10 after ttyS9: compare the text before the trailing number, then the number.
auto sortKey(const QString &path)
{
    static const QRegularExpression trailingNumber(QStringLiteral("^(.*?)(\\d*)$"));
    const QString name = QFileInfo(path).fileName();
    const auto match = trailingNumber.match(name);
    return std::make_tuple(deviceGroup(name), match.captured(1), match.captured(2).toLongLong(), path);
}

#ifndef Q_OS_WIN
QStringList enumeratedPaths()
{
    static QStringList cached;
    static QDeadlineTimer expiry(0);
    if (expiry.hasExpired()) {
        QStringList paths;
        for (const SystemPorts::Port &port : SystemPorts::list())
            paths << port.path;
        cached = PortNames::ordered(paths);
        expiry.setRemainingTime(EnumerationLifetime);
    }
    return cached;
}
#endif

} // namespace

QStringList PortNames::comNames(int count)
{
    QStringList names;
    for (int i = 1; i <= count; ++i)
        names << QString::asprintf("COM%i", i);
    return names;
}

QString PortNames::devicePath(const QString &comName)
{
#ifdef Q_OS_WIN
    // The system's own names, also those beyond the search's fifty.
    return comNumber(comName) > 0 ? comName : QString();
#else
    if (comName.startsWith(QLatin1Char('/')))
        return comName;
    const int number = comNumber(comName);
    const QStringList paths = devicePaths();
    if (number < 1 || number > paths.size())
        return QString();
    return paths.at(number - 1);
#endif
}

QStringList PortNames::devicePaths()
{
#ifdef Q_OS_WIN
    QStringList names;
    for (const SystemPorts::Port &port : SystemPorts::list())
        names << port.name;
    std::sort(names.begin(), names.end(),
              [](const QString &a, const QString &b) { return comNumber(a) < comNumber(b); });
    return names;
#else
    if (fromEnvironment())
        return qEnvironmentVariable(EnvironmentVariable).split(QLatin1Char(':'));
    return enumeratedPaths();
#endif
}

bool PortNames::isUsbAdapter(const QString &devicePath)
{
#ifdef Q_OS_WIN
    return PortIdentity::of(devicePath).vendorId.has_value();
#else
    return deviceGroup(QFileInfo(devicePath).fileName()) < OtherDevices;
#endif
}

QString PortNames::comName(const QString &devicePath)
{
#ifdef Q_OS_WIN
    return devicePath;
#else
    const qsizetype index = devicePaths().indexOf(devicePath);
    return index >= 0 && index < ComCount ? QStringLiteral("COM%1").arg(index + 1) : devicePath;
#endif
}

bool PortNames::fromEnvironment()
{
#ifdef Q_OS_WIN
    return false;
#else
    return qEnvironmentVariableIsSet(EnvironmentVariable);
#endif
}

QStringList PortNames::ordered(QStringList paths)
{
    std::sort(paths.begin(), paths.end(),
              [](const QString &a, const QString &b) { return sortKey(a) < sortKey(b); });
    return paths;
}

QString PortNames::unsearchedWarning()
{
    if (!fromEnvironment())
        return {};
    const qsizetype count = devicePaths().size();
    if (count <= ComCount)
        return {};
    return tr("%1 nennt %2 Geraete; nur die ersten %3 (COM1 bis COM%3) werden gefragt")
            .arg(QLatin1String(EnvironmentVariable)).arg(count).arg(ComCount);
}

int PortNames::comNumber(const QString &comName)
{
    static const QRegularExpression com(QStringLiteral("^COM([1-9]\\d{0,3})$"));
    const auto match = com.match(comName);
    return match.hasMatch() ? match.captured(1).toInt() : 0;
}
