#include "ScriptedLine.h"

#include "FlashStreamCheck.h"

ScriptedLine::ScriptedLine(FlashStreamCheck *check, QObject *parent)
    : QIODevice(parent), check(check)
{
}

void ScriptedLine::deliver(const QByteArray &bytes)
{
    if (!isOpen() || bytes.isEmpty())
        return;
    incoming.append(bytes);
    unnoticed = true;
}

void ScriptedLine::notify()
{
    if (!unnoticed || !isOpen())
        return;
    unnoticed = false;
    emit readyRead();
}

void ScriptedLine::flush()
{
    if (pending == 0 || isHeld || !isOpen())
        return;
    const qint64 left = pending;
    pending = 0;
    emit bytesWritten(left);
}

void ScriptedLine::failWrite(int n, qint64 accepted)
{
    writesUntilFailure = n;
    acceptedOnFailure = accepted;
}

qint64 ScriptedLine::bytesAvailable() const
{
    return incoming.size() + QIODevice::bytesAvailable();
}

qint64 ScriptedLine::bytesToWrite() const
{
    return pending + QIODevice::bytesToWrite();
}

qint64 ScriptedLine::readData(char *data, qint64 maxSize)
{
    const qint64 count = qMin(maxSize, qint64(incoming.size()));
    for (qint64 i = 0; i < count; ++i) {
        data[i] = incoming.at(i);
        check->read(data[i]);
    }
    incoming.remove(0, count);
    return count;
}

qint64 ScriptedLine::writeData(const char *data, qint64 maxSize)
{
    qint64 count = maxSize;
    if (writesUntilFailure > 0 && --writesUntilFailure == 0)
        count = qMin(acceptedOnFailure, maxSize);
    check->wrote(data, count);
    pending += count;
    if (count == 0 && maxSize > 0)
        return -1;
    return count;
}
