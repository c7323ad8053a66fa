#pragma once

#include "serial/SerialLine.h"

class QSerialPort;

// A serial device of a Unix system, on QSerialPort: the port is the device,
// and a hang-up is seen from the device itself (HangUpWatch).
class UnixSerialLine : public SerialLine
{
    Q_OBJECT

public:
    UnixSerialLine(const QString &devicePath, QObject *parent);

    bool open() override;
    bool configure(int baudRate) override;
    PortFault fault(const QString &name) const override;

    QIODevice *device() const override;
    qintptr handle() const override;
    qint64 driverQueue() override;
    void flush() override;
    bool send(const QByteArray &bytes) override;
    void clearInput() override;
    void fetchReceived() override;
    bool isLost() const override;

private:
    void onPortError();

    QString path;
    QSerialPort *port;
};
