#include "serial/PortNames.h"

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

} // namespace

QString PortNames::devicePath(const QString &comName)
{
    if (comName.startsWith(QLatin1Char('/')))
        return comName;
    const int number = comNumber(comName);
    const QStringList paths = devicePaths();
    if (number < 1 || number > paths.size())
        return QString();
    return paths.at(number - 1);
}

QStringList PortNames::devicePaths()
{
    if (fromEnvironment())
        return qEnvironmentVariable(EnvironmentVariable).split(QLatin1Char(':'));
    return enumeratedPaths();
}

QStringList PortNames::fixturePaths()
{
    if (fromEnvironment())
        return devicePaths();
    QStringList adapters;
    for (const QString &path : devicePaths())
        if (isUsbAdapter(path))
            adapters << path;
    return adapters;
}

bool PortNames::isUsbAdapter(const QString &devicePath)
{
    return deviceGroup(QFileInfo(devicePath).fileName()) < OtherDevices;
}

QString PortNames::comName(const QString &devicePath)
{
    const qsizetype index = devicePaths().indexOf(devicePath);
    return index >= 0 && index < ComCount ? QStringLiteral("COM%1").arg(index + 1) : devicePath;
}

bool PortNames::fromEnvironment()
{
    return qEnvironmentVariableIsSet(EnvironmentVariable);
}

QStringList PortNames::ordered(QStringList paths)
{
    std::sort(paths.begin(), paths.end(),
              [](const QString &a, const QString &b) { return sortKey(a) < sortKey(b); });
    return paths;
}
