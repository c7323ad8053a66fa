#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>

#include "serial/SerialLine.h"

#include <qt_windows.h>

#include <array>

class QWinEventNotifier;

// A COM port through the Win32 serial API, overlapped, on the event loop:
// a read is always outstanding, and its completion routine runs in the
// event loop's alertable wait, so the loop wakes when bytes arrive and never
// polls. Where a read returns at once with nothing (the driver honours the
// time-outs to the letter), a wait for the next received byte stands in for
// it. A failed read, write or status query means the port is gone.
class ComPort : public QIODevice
{
    Q_OBJECT

public:
    // name: COM3; opened through the device namespace, \\.\COM3.
    ComPort(const QString &name, QObject *parent);
    ~ComPort() override;

    bool open(OpenMode mode) override;
    void close() override;
    // 8N1 at the rate, DTR and RTS raised where the driver can, no flow
    // control, reads that return at once, driver queues of queueBytes. Starts
    // reading.
    bool configure(int baudRate, qint64 queueBytes);
    // The system's error code of the last failed step, 0 when none failed.
    DWORD systemError() const { return lastError; }
    HANDLE handle() const { return port; }

    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override;
    qint64 bytesToWrite() const override;
    bool waitForReadyRead(int msecs) override;
    bool waitForBytesWritten(int msecs) override;

    // Bytes in the driver's output queue, -1 when the port cannot tell.
    qint64 outputQueue();
    void startWriting();
    void discardInput();
    // Takes what a completed read holds, without waiting.
    void fetchReceived();
    bool isLost() const { return gone; }

signals:
    // Queued, once: the port failed; nothing more is asked of it.
    void lost();

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 size) override;

private:
    enum class Receiving { Idle, Reading, AwaitingByte };
    // What a read's completion routine gets: the operation, its buffer and
    // whose it is. Owned apart from the port: a read still outstanding when
    // the port lets go of it keeps it, ownerless, until its routine has run.
    struct ReadIo
    {
        OVERLAPPED overlapped {};
        ComPort *port = nullptr;
        std::array<char, SerialLine::QueueBytes> chunk {};
    };

    static void CALLBACK readDone(DWORD error, DWORD count, OVERLAPPED *overlapped);
    void receive();
    void takeRead(DWORD error, DWORD count);
    void awaitByte();
    void onByteArrived();
    bool announceReceived();
    // Lets completion routines run: until the event is set (none: only the
    // routines), the time is up or a routine has run.
    static DWORD waitAlertably(HANDLE event, DWORD milliseconds);
    void onWriteSignal();
    bool finishWrite(bool wait);
    void loseLine();
    void cancelAll();
    void dropReadIo();

    // While one of this thread's ports waits alertably, completions that run
    // inside the wait only queue what they have to tell.
    static thread_local int waitDepth;

    QString name;
    HANDLE port = INVALID_HANDLE_VALUE;
    DWORD lastError = 0;
    bool gone = false;
    qint64 inputLimit = SerialLine::QueueBytes;

    ReadIo *readIo = nullptr;
    OVERLAPPED byteIo {};
    QWinEventNotifier *byteNotifier = nullptr;
    Receiving receiving = Receiving::Idle;
    DWORD arrivedEvents = 0;
    QByteArray received;
    bool announcing = false;
    bool announceQueued = false;

    OVERLAPPED writeIo {};
    HANDLE writeEvent = nullptr;
    QWinEventNotifier *writeNotifier = nullptr;
    QByteArray pending;
    QByteArray inFlight;
    bool writing = false;
};
