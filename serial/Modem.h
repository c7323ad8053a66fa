#pragma once

#include <QObject>
#include <QSerialPort>
#include <QSet>
#include <QString>

// The one serial port of the program: opens a port by its COM name with a
// fixed line set-up (8N1, DTR and RTS raised, no flow control), moves raw
// bytes synchronously and announces every open and close via setTtyText.
class Modem : public QObject
{
    Q_OBJECT

public:
    static constexpr int DefaultBaudRate = 57600;
    static constexpr qint64 InputQueueBytes = 4096;

    Modem();
    ~Modem() override;

    void setBaudRate(int rate);
    int currentBaudRate() const { return baudRate; }

    bool openPort(const QString &name);
    bool closePort();
    int readData(char *buffer, int maxLength);
    bool writeString(const char *text);
    bool writeByte(int value);

    // The open port, or nullptr. For the flash write, which drives the
    // port asynchronously instead of through the blocking calls above.
    QSerialPort *device() const;
    // Why the last openPort failed, with the device path; empty after success.
    QString errorString() const { return lastError; }

signals:
    void setTtyText(QString);

private:
    bool configure(QSerialPort *port);
    bool writeAll(const char *data, qint64 length);
    void reportOpenFailure(const QString &path, const QString &reason);
    void releasePort();
    void onPortError(QSerialPort::SerialPortError error);
    void dropLostPort();

    QSerialPort *portHandle = nullptr;
    int baudRate = DefaultBaudRate;
    QString lastError;
    QSet<QString> reportedPaths;
};
