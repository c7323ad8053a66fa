#pragma once

#include "serial/PortIdentity.h"

#include <QString>

// What Windows' device instance ID of a USB serial adapter tells: vendor
// and product ID, and the adapter's serial number where it has one, e.g.
// USB\VID_0403&PID_6001\A50285BI or FTDIBUS\VID_0403+PID_6001+A50285BIA\0000.
// Plain text, so it is built and tested everywhere.
class UsbInstanceId
{
public:
    static PortIdentity parse(const QString &instanceId);
    // Windows makes up an ID where the device has no serial number
    // (6&1a2b3c&0&2), and for each interface of a composite device.
    static bool hasSerialNumber(const QString &instanceId);
};
