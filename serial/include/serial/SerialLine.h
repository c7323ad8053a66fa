#pragma once

#include "serial/PortFault.h"

#include <QObject>
#include <QString>

class QIODevice;

// One serial port as the system's own serial layer drives it. The bytes go
// through device(); the rest is what a port has beyond a QIODevice. Each
// system has its own kind, made by create(); nothing outside serial/ knows
// which.
class SerialLine : public QObject
{
    Q_OBJECT

public:
    // The driver's input and output queues, where the system lets us set them.
    static constexpr qint64 QueueBytes = 4096;

    // Defined by the system's backend. Opens nothing yet.
    static SerialLine *create(const QString &devicePath, QObject *parent);
    // The line whose device this is; nullptr for any other QIODevice.
    static SerialLine *of(const QIODevice *device);

    // Opens the port for reading and writing, exclusively.
    virtual bool open() = 0;
    // 8N1 at the rate, DTR and RTS raised where the port has them, no flow
    // control, reads that return at once.
    virtual bool configure(int baudRate) = 0;
    // Why open() or configure() failed, for the port the user knows as name.
    virtual PortFault fault(const QString &name) const = 0;

    virtual QIODevice *device() const = 0;
    // The system's handle of the open port.
    virtual qintptr handle() const = 0;
    // Bytes the driver still holds in its output queue; -1 when the port can
    // no longer tell (lost() follows).
    virtual qint64 driverQueue() = 0;
    // Hands what the device still buffers to the driver now, not on a later turn.
    virtual void flush() = 0;
    // Writes bytes and hands them to the driver now; false when the device
    // refuses them.
    virtual bool send(const QByteArray &bytes);
    // Throws away whatever has been received and not read.
    virtual void clearInput() = 0;
    // Brings what the driver has received into the device now, without waiting.
    virtual void fetchReceived() = 0;
    // Whether the port's device is gone for good (hung up, adapter pulled);
    // not a line that merely takes no bytes for now.
    virtual bool isLost() const = 0;

signals:
    // The device went away. May come more than once; isLost() holds after it.
    void lost();

protected:
    using QObject::QObject;
};
