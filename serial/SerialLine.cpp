#include "serial/SerialLine.h"

#include <QIODevice>

SerialLine *SerialLine::of(const QIODevice *device)
{
    // Every line is its device's parent.
    return device ? qobject_cast<SerialLine *>(device->parent()) : nullptr;
}

bool SerialLine::send(const QByteArray &bytes)
{
    if (device()->write(bytes) != bytes.size())
        return false;
    flush();
    return true;
}
