#include "serial/SerialLine.h"

#include <QIODevice>

SerialLine *SerialLine::of(const QIODevice *device)
{
    // Every line is its device's parent.
    return device ? qobject_cast<SerialLine *>(device->parent()) : nullptr;
}
