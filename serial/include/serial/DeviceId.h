#pragma once

#include <QString>
#include <QtGlobal>

// A serial device as the system knows it, whatever name reached it: a
// symbolic link, /dev/serial/by-id/..., or the same path given twice are
// one device. On Linux that is the device number of the node behind the
// name; on Windows the COM name.
class DeviceId
{
public:
    DeviceId() = default;
    static DeviceId of(const QString &devicePath);

    // False for a name behind which there is no device.
    bool isValid() const { return !id.isEmpty(); }
    // Stable and fit for a file name, e.g. "c188-0" for /dev/ttyUSB0.
    QString key() const { return id; }

    bool operator==(const DeviceId &other) const { return isValid() && id == other.id; }
    bool operator!=(const DeviceId &other) const { return !(*this == other); }

private:
    explicit DeviceId(QString key) : id(std::move(key)) {}

    QString id;
};
