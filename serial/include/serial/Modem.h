#pragma once

#include "serial/DeviceLock.h"
#include "serial/PortFault.h"
#include "serial/SerialLine.h"

#include <QObject>
#include <QSet>
#include <QString>

#include <array>

// The one serial port of the program: opens a port by its COM name with a
// fixed line set-up (8N1, DTR and RTS raised, no flow control), moves raw
// bytes synchronously and announces every open and close via setTtyText.
class Modem : public QObject
{
    Q_OBJECT

public:
    static constexpr int DefaultBaudRate = 57600;
    // The rates the instrument knows; setBaudRate ignores any other.
    static constexpr std::array<int, 3> BaudRates {9600, 57600, 115200};
    static bool isBaudRate(int rate);

    Modem();
    ~Modem() override;

    void setBaudRate(int rate);

    bool openPort(const QString &name);
    // The same for a name already looked up: opens devicePath, and names
    // it as name in what it tells. Nothing is looked up again, so the
    // port opened is the one the caller found.
    bool openPort(const QString &name, const QString &devicePath);
    bool closePort();
    int readData(char *buffer, int maxLength);
    bool writeString(const char *text);
    bool writeByte(int value);

    // The open port, or nullptr. For the flash write, which drives the
    // port asynchronously instead of through the blocking calls above;
    // SerialLine::of() has what a port has beyond a QIODevice.
    QIODevice *device() const;
    // The device path the open port was found at when it opened, or empty:
    // a COM name is looked up once, so later steps name the same device.
    QString devicePath() const { return device() ? openedPath : QString(); }
    // Why the last openPort failed, in the user's language, with the device
    // path and what to do; empty after success.
    QString errorString() const { return lastFault.text(); }
    PortFault fault() const { return lastFault; }

signals:
    void setTtyText(QString);
    // The first time a port fails to open for a reason, other than being
    // absent; the same fault on the same port again is no news.
    void portFailed(const QString &line);
    // The open port's device went away (hang-up, adapter pulled) and was
    // dropped.
    void lineLost();

private:
    bool writeAll(const char *data, qint64 length);
    void reportOpenFailure(const QString &name, const QString &path);
    void reportFault(const QString &path);
    void releasePort();
    void dropLostPort();

    SerialLine *line = nullptr;
    QString openedPath;
    DeviceLock deviceLock;
    int baudRate = DefaultBaudRate;
    PortFault lastFault;
    QSet<QString> reportedFaults;
};
