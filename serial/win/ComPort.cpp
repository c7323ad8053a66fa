#include "serial/win/ComPort.h"

#include <QWinEventNotifier>

#include <cstring>
#include <utility>

namespace {

// Manual reset, as overlapped I/O wants: each new operation clears it.
HANDLE newIoEvent()
{
    return ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

} // namespace

ComPort::ComPort(const QString &name, QObject *parent)
    : QIODevice(parent), name(name)
{
    receiveIo.hEvent = newIoEvent();
    writeIo.hEvent = newIoEvent();
    receiveNotifier = new QWinEventNotifier(receiveIo.hEvent, this);
    receiveNotifier->setEnabled(false);
    connect(receiveNotifier, &QWinEventNotifier::activated, this, &ComPort::receive);
    writeNotifier = new QWinEventNotifier(writeIo.hEvent, this);
    writeNotifier->setEnabled(false);
    connect(writeNotifier, &QWinEventNotifier::activated, this, &ComPort::onWriteSignal);
}

ComPort::~ComPort()
{
    close();
    // Before their events go.
    delete receiveNotifier;
    delete writeNotifier;
    ::CloseHandle(receiveIo.hEvent);
    ::CloseHandle(writeIo.hEvent);
}

bool ComPort::open(OpenMode mode)
{
    if (isOpen())
        return false;
    const std::wstring path = (QStringLiteral("\\\\.\\") + name).toStdWString();
    // Share mode 0: no other program gets the port while we hold it.
    port = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                         FILE_FLAG_OVERLAPPED, nullptr);
    if (port == INVALID_HANDLE_VALUE) {
        lastError = ::GetLastError();
        return false;
    }
    lastError = 0;
    gone = false;
    return QIODevice::open(mode | QIODevice::Unbuffered);
}

bool ComPort::configure(int baudRate, qint64 queueBytes)
{
    DCB line {};
    line.DCBlength = sizeof line;
    line.BaudRate = DWORD(baudRate);
    line.fBinary = TRUE;
    line.fDtrControl = DTR_CONTROL_ENABLE;
    line.fRtsControl = RTS_CONTROL_ENABLE;
    line.ByteSize = 8;
    line.Parity = NOPARITY;
    line.StopBits = ONESTOPBIT;
    // A read takes what the driver has and returns, even with nothing.
    COMMTIMEOUTS timeouts {MAXDWORD, 0, 0, 0, 0};
    if (!::SetCommState(port, &line) || !::SetCommTimeouts(port, &timeouts)
        || !::SetupComm(port, DWORD(queueBytes), DWORD(queueBytes)) || !::SetCommMask(port, EV_RXCHAR)) {
        lastError = ::GetLastError();
        return false;
    }
    // The line set-up raised them already where the driver can; a port
    // without modem lines answers "not supported", which is no fault.
    ::EscapeCommFunction(port, SETDTR);
    ::EscapeCommFunction(port, SETRTS);
    inputLimit = qMin<qint64>(queueBytes, qint64(chunk.size()));
    receive();
    return true;
}

void ComPort::close()
{
    if (!isOpen())
        return;
    QIODevice::close();
    cancelAll();
    ::CloseHandle(port);
    port = INVALID_HANDLE_VALUE;
    received.clear();
    pending.clear();
}

// Outstanding operations write into this object; they must be over before
// it lets go of the port.
void ComPort::cancelAll()
{
    receiveNotifier->setEnabled(false);
    writeNotifier->setEnabled(false);
    if (port == INVALID_HANDLE_VALUE)
        return;
    if (receiving != Receiving::Idle || writing)
        ::CancelIoEx(port, nullptr);
    DWORD count = 0;
    if (receiving != Receiving::Idle)
        ::GetOverlappedResult(port, &receiveIo, &count, TRUE);
    if (writing)
        ::GetOverlappedResult(port, &writeIo, &count, TRUE);
    receiving = Receiving::Idle;
    writing = false;
    inFlight.clear();
}

qint64 ComPort::bytesAvailable() const
{
    return received.size() + QIODevice::bytesAvailable();
}

qint64 ComPort::bytesToWrite() const
{
    return pending.size() + inFlight.size();
}

qint64 ComPort::readData(char *data, qint64 maxSize)
{
    const bool wasFull = received.size() >= inputLimit;
    const qint64 count = qMin(maxSize, qint64(received.size()));
    std::memcpy(data, received.constData(), size_t(count));
    received.remove(0, count);
    // Room again: go on reading, but not from inside the caller's read.
    if (wasFull && count > 0)
        QMetaObject::invokeMethod(this, &ComPort::receive, Qt::QueuedConnection);
    return count;
}

// Keeps one read, or one wait for the next byte, outstanding while the
// port is open and the input has room; takes every one that has completed.
void ComPort::receive()
{
    for (;;) {
        if (receiving == Receiving::Idle) {
            const qint64 room = inputLimit - received.size();
            if (!isOpen() || gone || room <= 0) {
                // Nothing outstanding: the event must not keep waking the loop.
                ::ResetEvent(receiveIo.hEvent);
                receiveNotifier->setEnabled(false);
                return;
            }
            receiving = Receiving::Reading;
            if (!::ReadFile(port, chunk.data(), DWORD(room), nullptr, &receiveIo)
                && ::GetLastError() != ERROR_IO_PENDING) {
                receiving = Receiving::Idle;
                loseLine();
                return;
            }
            receiveNotifier->setEnabled(true);
        }
        if (!finishReceive(false))
            return;
    }
}

// False while the operation is still outstanding, or when the port failed.
bool ComPort::finishReceive(bool wait)
{
    DWORD count = 0;
    if (!::GetOverlappedResult(port, &receiveIo, &count, wait)) {
        if (::GetLastError() == ERROR_IO_INCOMPLETE)
            return false;
        receiving = Receiving::Idle;
        loseLine();
        return false;
    }
    if (receiving == Receiving::AwaitingByte) {
        receiving = Receiving::Idle;
        return true;
    }
    receiving = Receiving::Idle;
    if (count > 0) {
        received.append(chunk.data(), int(count));
        announceReceived();
        return true;
    }
    // The driver had nothing and said so at once: wait for its next byte.
    receiving = Receiving::AwaitingByte;
    if (!::WaitCommEvent(port, &arrivedEvents, &receiveIo) && ::GetLastError() != ERROR_IO_PENDING) {
        receiving = Receiving::Idle;
        loseLine();
        return false;
    }
    return true;
}

void ComPort::announceReceived()
{
    if (announcing)
        return;
    announcing = true;
    emit readyRead();
    announcing = false;
}

void ComPort::fetchReceived()
{
    // A zero wait also lets the system finish a read that has its bytes.
    if (receiving != Receiving::Idle && ::WaitForSingleObject(receiveIo.hEvent, 0) != WAIT_OBJECT_0)
        return;
    receive();
}

bool ComPort::waitForReadyRead(int msecs)
{
    const qint64 before = received.size();
    fetchReceived();
    if (received.size() > before)
        return true;
    if (receiving == Receiving::Idle
        || ::WaitForSingleObject(receiveIo.hEvent, msecs < 0 ? INFINITE : DWORD(msecs)) != WAIT_OBJECT_0)
        return false;
    receive();
    return received.size() > before;
}

qint64 ComPort::writeData(const char *data, qint64 size)
{
    if (gone || !isOpen())
        return -1;
    pending.append(data, size);
    startWriting();
    return size;
}

// Hands everything pending to the driver in one write, unless one is
// still outstanding.
void ComPort::startWriting()
{
    while (!writing && !pending.isEmpty() && isOpen() && !gone) {
        inFlight = std::exchange(pending, QByteArray());
        writing = true;
        if (!::WriteFile(port, inFlight.constData(), DWORD(inFlight.size()), nullptr, &writeIo)
            && ::GetLastError() != ERROR_IO_PENDING) {
            writing = false;
            inFlight.clear();
            loseLine();
            return;
        }
        if (!finishWrite(false))
            break;
    }
    // Woken only for a write that is outstanding.
    writeNotifier->setEnabled(writing);
}

bool ComPort::finishWrite(bool wait)
{
    DWORD count = 0;
    if (!::GetOverlappedResult(port, &writeIo, &count, wait)) {
        if (::GetLastError() == ERROR_IO_INCOMPLETE)
            return false;
        writing = false;
        inFlight.clear();
        loseLine();
        return false;
    }
    writing = false;
    // Without a write time-out the driver takes all; anything left goes first.
    if (qint64(count) < inFlight.size())
        pending.prepend(inFlight.mid(int(count)));
    inFlight.clear();
    if (count > 0)
        emit bytesWritten(qint64(count));
    return true;
}

void ComPort::onWriteSignal()
{
    if (writing && !finishWrite(false))
        return;
    startWriting();
}

bool ComPort::waitForBytesWritten(int msecs)
{
    startWriting();
    if (!writing)
        return false;
    if (::WaitForSingleObject(writeIo.hEvent, msecs < 0 ? INFINITE : DWORD(msecs)) != WAIT_OBJECT_0
        || !finishWrite(false))
        return false;
    startWriting();
    return true;
}

qint64 ComPort::outputQueue()
{
    if (gone || !isOpen())
        return -1;
    COMSTAT status {};
    DWORD errors = 0;
    if (!::ClearCommError(port, &errors, &status)) {
        loseLine();
        return -1;
    }
    return qint64(status.cbOutQue);
}

void ComPort::discardInput()
{
    fetchReceived();
    if (isOpen() && !gone)
        ::PurgeComm(port, PURGE_RXCLEAR);
    received.clear();
    receive();
}

// The device is gone (adapter pulled, far end hung up): nothing more is
// asked of it, so nothing wakes the loop for it any more.
void ComPort::loseLine()
{
    if (gone)
        return;
    gone = true;
    lastError = ::GetLastError();
    cancelAll();
    QMetaObject::invokeMethod(this, &ComPort::lost, Qt::QueuedConnection);
}
