#pragma once

#include <QCoreApplication>
#include <QString>
#include <QStringList>

// Maps the COM names the program works with (COM1 ... COM50) to device
// paths. On Windows COMn is the port itself, any that Windows has. Elsewhere
// COMn is the n-th serial device of this machine: USB adapters (ttyUSB*,
// ttyACM*) first, then the rest, each group in natural order.
// ZIRBELWERK_PORTS, a ':'-separated list of device paths, replaces that list
// (entry i stands for COMi); Windows has no use for it.
class PortNames
{
    Q_DECLARE_TR_FUNCTIONS(PortNames)

public:
    static constexpr const char *EnvironmentVariable = "ZIRBELWERK_PORTS";
    // How many COM names the search tries.
    static constexpr int ComCount = 50;
    // The COM names Windows hands out, all of them open to --port.
    static constexpr int WindowsComCount = 256;

    // COM1 ... COMn, in the order the search tries them.
    static QStringList comNames(int count = ComCount);

    // A name that is already a device path (starts with '/') stays as it is.
    static QString devicePath(const QString &comName);
    // The devices that COM1, COM2, ... stand for, in that order; on
    // Windows the COM ports it has.
    static QStringList devicePaths();
    // ttyUSB*, ttyACM*, or on Windows a port with a USB vendor ID: what a
    // fixture or a service bench plugs in.
    static bool isUsbAdapter(const QString &devicePath);
    // The COMn that stands for a device path, or the path itself (on
    // Windows always).
    static QString comName(const QString &devicePath);
    // What a production station follows: the devices ZIRBELWERK_PORTS
    // names, else the USB adapters; on Windows every COM port it has.
    static QStringList fixturePaths();
    // Whether ZIRBELWERK_PORTS names the devices.
    static bool fromEnvironment();
    // Orders device paths (Windows: COM names) the way COM numbers are
    // handed out.
    static QStringList ordered(QStringList paths);
    // Empty unless ZIRBELWERK_PORTS names more devices than there are COM
    // names to search; then what is left out, in the user's language.
    static QString unsearchedWarning();
    // COMn -> n, or 0 when the name is no COM name.
    static int comNumber(const QString &comName);
};
