#include "ComPort.h"

#include <QDeadlineTimer>
#include <QPointer>
#include <QWinEventNotifier>

#include <cstring>
#include <utility>

namespace {

// Outstanding operations end soon after they are cancelled.
constexpr std::chrono::milliseconds CancelWait {1000};

// Manual reset, as overlapped I/O wants: each new operation clears it.
HANDLE newIoEvent()
{
    return ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

DWORD remainingMs(const QDeadlineTimer &deadline)
{
    return deadline.isForever() ? INFINITE : DWORD(qMax<qint64>(0, deadline.remainingTime()));
}

} // namespace

thread_local int ComPort::waitDepth = 0;

ComPort::ComPort(const QString &name, QObject *parent)
    : QIODevice(parent), name(name), readIo(new ReadIo)
{
    readIo->port = this;
    byteIo.hEvent = newIoEvent();
    writeEvent = newIoEvent();
    // The low bit keeps a finished write off any completion port: Wine asks
    // its server about that for every write otherwise.
    writeIo.hEvent = HANDLE(quintptr(writeEvent) | 1);
    byteNotifier = new QWinEventNotifier(byteIo.hEvent, this);
    byteNotifier->setEnabled(false);
    connect(byteNotifier, &QWinEventNotifier::activated, this, &ComPort::onByteArrived);
    writeNotifier = new QWinEventNotifier(writeEvent, this);
    writeNotifier->setEnabled(false);
    connect(writeNotifier, &QWinEventNotifier::activated, this, &ComPort::onWriteSignal);
}

ComPort::~ComPort()
{
    close();
    dropReadIo();
    // Before their events go.
    delete byteNotifier;
    delete writeNotifier;
    ::CloseHandle(byteIo.hEvent);
    ::CloseHandle(writeEvent);
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
    inputLimit = qMin<qint64>(queueBytes, qint64(readIo->chunk.size()));
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

// Lets go of the read's buffer. A read still outstanding keeps it, and its
// routine frees it: the system may write into it and call the routine long
// after the port is gone.
void ComPort::dropReadIo()
{
    if (receiving == Receiving::Reading)
        readIo->port = nullptr;
    else
        delete readIo;
    readIo = nullptr;
    receiving = Receiving::Idle;
}

// Outstanding operations write into this object; they must be over before
// it lets go of the port.
void ComPort::cancelAll()
{
    byteNotifier->setEnabled(false);
    writeNotifier->setEnabled(false);
    if (port == INVALID_HANDLE_VALUE)
        return;
    if (receiving != Receiving::Idle || writing)
        ::CancelIoEx(port, nullptr);
    DWORD count = 0;
    if (receiving == Receiving::AwaitingByte) {
        ::GetOverlappedResult(port, &byteIo, &count, TRUE);
        receiving = Receiving::Idle;
    }
    const QDeadlineTimer deadline(CancelWait);
    while (receiving == Receiving::Reading && !deadline.hasExpired())
        waitAlertably(nullptr, remainingMs(deadline));
    if (receiving == Receiving::Reading) {
        // Not over in time: the read keeps its buffer, the port takes a new one.
        dropReadIo();
        readIo = new ReadIo;
        readIo->port = this;
    }
    if (writing)
        ::GetOverlappedResult(port, &writeIo, &count, TRUE);
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

// Keeps one read outstanding while the port is open and the input has room.
void ComPort::receive()
{
    if (receiving != Receiving::Idle || !isOpen() || gone)
        return;
    const qint64 room = inputLimit - received.size();
    if (room <= 0)
        return;
    receiving = Receiving::Reading;
    if (!::ReadFileEx(port, readIo->chunk.data(), DWORD(room), &readIo->overlapped, &ComPort::readDone)) {
        receiving = Receiving::Idle;
        loseLine();
    }
}

void CALLBACK ComPort::readDone(DWORD error, DWORD count, OVERLAPPED *overlapped)
{
    auto *io = reinterpret_cast<ReadIo *>(overlapped);
    if (!io->port) {
        delete io; // its port is gone
        return;
    }
    io->port->takeRead(error, count);
}

void ComPort::takeRead(DWORD error, DWORD count)
{
    receiving = Receiving::Idle;
    if (!isOpen())
        return; // cancelled by close()
    if (error != ERROR_SUCCESS) {
        ::SetLastError(error);
        loseLine();
        return;
    }
    if (count == 0) {
        // The driver had nothing and said so at once: wait for its next byte.
        awaitByte();
        return;
    }
    received.append(readIo->chunk.data(), int(count));
    if (announceReceived())
        receive();
}

void ComPort::awaitByte()
{
    if (!isOpen() || gone)
        return;
    receiving = Receiving::AwaitingByte;
    if (!::WaitCommEvent(port, &arrivedEvents, &byteIo) && ::GetLastError() != ERROR_IO_PENDING) {
        receiving = Receiving::Idle;
        loseLine();
        return;
    }
    byteNotifier->setEnabled(true);
}

void ComPort::onByteArrived()
{
    DWORD events = 0;
    if (receiving != Receiving::AwaitingByte || !::GetOverlappedResult(port, &byteIo, &events, FALSE)) {
        if (receiving == Receiving::AwaitingByte && ::GetLastError() == ERROR_IO_INCOMPLETE)
            return;
        byteNotifier->setEnabled(false);
        if (receiving == Receiving::AwaitingByte) {
            receiving = Receiving::Idle;
            loseLine();
        }
        return;
    }
    byteNotifier->setEnabled(false);
    receiving = Receiving::Idle;
    receive();
}

// False when a listener deleted the port: nothing of it may be touched then.
bool ComPort::announceReceived()
{
    if (waitDepth > 0) {
        // Inside someone's wait: tell once the event loop has it back.
        if (!announceQueued) {
            announceQueued = true;
            QMetaObject::invokeMethod(this, [this] {
                announceQueued = false;
                announceReceived();
            }, Qt::QueuedConnection);
        }
        return true;
    }
    if (announcing)
        return true;
    announcing = true;
    const QPointer<ComPort> alive(this);
    emit readyRead();
    if (!alive)
        return false;
    announcing = false;
    return true;
}

DWORD ComPort::waitAlertably(HANDLE event, DWORD milliseconds)
{
    ++waitDepth;
    const DWORD result = event ? ::WaitForSingleObjectEx(event, milliseconds, TRUE) : ::SleepEx(milliseconds, TRUE);
    --waitDepth;
    return result;
}

void ComPort::fetchReceived()
{
    if (receiving == Receiving::AwaitingByte && ::WaitForSingleObject(byteIo.hEvent, 0) == WAIT_OBJECT_0)
        onByteArrived();
    // A completed read's routine runs now; a zero wait also lets the system
    // finish a read whose bytes are there.
    if (receiving == Receiving::Reading)
        waitAlertably(nullptr, 0);
}

bool ComPort::waitForReadyRead(int msecs)
{
    const QDeadlineTimer deadline(msecs < 0 ? QDeadlineTimer(QDeadlineTimer::Forever)
                                            : QDeadlineTimer(std::chrono::milliseconds(msecs)));
    const qint64 before = received.size();
    do {
        receive();
        if (receiving == Receiving::Idle)
            break;
        const HANDLE event = receiving == Receiving::AwaitingByte ? byteIo.hEvent : nullptr;
        if (waitAlertably(event, remainingMs(deadline)) == WAIT_OBJECT_0 && event)
            onByteArrived();
    } while (received.size() == before && !deadline.hasExpired() && isOpen() && !gone);
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
    // Queued: a listener may close or delete the port, never in the middle
    // of this.
    if (count > 0)
        QMetaObject::invokeMethod(this, [this, count] { emit bytesWritten(qint64(count)); }, Qt::QueuedConnection);
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
    if (waitAlertably(writeEvent, msecs < 0 ? INFINITE : DWORD(msecs)) != WAIT_OBJECT_0 || !finishWrite(false))
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
