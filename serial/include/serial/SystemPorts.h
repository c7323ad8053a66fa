#pragma once

#include "serial/PortIdentity.h"

#include <QList>
#include <QString>

// The serial ports the system knows of now, as its own serial layer lists
// them. Defined by the system's backend.
class SystemPorts
{
public:
    struct Port
    {
        QString path; // what opens it: /dev/ttyUSB0, COM3
        QString name; // the system's short name: ttyUSB0, COM3
        PortIdentity identity;
    };

    static QList<Port> list();
    // The name the system lists a device by: a link's target on Linux; a
    // COM name is its own.
    static QString canonical(const QString &path);
};
