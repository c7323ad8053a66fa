#pragma once

#include "serial/SerialLine.h"

class ComPort;

// A COM port of Windows, through its serial API (ComPort).
class WinSerialLine : public SerialLine
{
    Q_OBJECT

public:
    WinSerialLine(const QString &devicePath, QObject *parent);

    bool open() override;
    bool configure(int baudRate) override;
    PortFault fault(const QString &name) const override;

    QIODevice *device() const override;
    qintptr handle() const override;
    qint64 driverQueue() override;
    void flush() override;
    void clearInput() override;
    void fetchReceived() override;
    bool isLost() const override;

private:
    QString path;
    ComPort *port;
    bool opened = false;
};
