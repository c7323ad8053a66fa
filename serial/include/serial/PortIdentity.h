#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

// What the system knows of the USB adapter behind a serial device, for
// records and listings. A pseudo-terminal or a built-in port has none of it.
struct PortIdentity
{
    // A symlink counts as the device it points to.
    static PortIdentity of(const QString &devicePath);
    // "0403", as lsusb writes it; a null string when unknown.
    static QString hexId(std::optional<quint16> id);

    // "USB 0403:6001" for listings; empty without a vendor ID (Windows
    // describes built-in ports too).
    QString usbText() const;

    bool isKnown() const { return vendorId || productId || !serialNumber.isNull() || !description.isNull(); }

    std::optional<quint16> vendorId;
    std::optional<quint16> productId;
    QString serialNumber; // null when unknown
    QString description;  // null when unknown
};
