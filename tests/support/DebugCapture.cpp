#include "DebugCapture.h"

#include <QtGlobal>

namespace {

QStringList captured;
QtMessageHandler previousHandler = nullptr;

void capture(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    captured << message;
    if (previousHandler)
        previousHandler(type, context, message);
}

} // namespace

DebugCapture::DebugCapture()
{
    captured.clear();
    previousHandler = qInstallMessageHandler(capture);
}

DebugCapture::~DebugCapture()
{
    qInstallMessageHandler(previousHandler);
}

QStringList DebugCapture::lines() const
{
    return captured;
}
