#pragma once

#include "app/VELDfwloader.h"

#include <QTimer>

// Reaches the main window's private state, which tests must set up or
// observe directly (search position, trace switch, image).
class WindowProbe
{
public:
    explicit WindowProbe(VELDfwloader &window) : window(window) {}

    Ui::ZirbelWerk &ui() { return window.ui; }
    qint32 &portIndex() { return window.portIndex; }
    bool &debugTrace() { return window.debugTrace; }
    bool portOpen() const { return window.portOpen; }
    bool awaitingReply() const { return window.awaitingReply; }
    QString portName() const { return window.portName; }
    QStringList &portList() { return window.portList; }
    qint32 firmwareVersion() const { return window.firmwareVersion; }
    qint32 fontSize() const { return window.fontSize; }
    FirmwareImage &image() { return window.image; }
    qint32 &imageLength() { return window.imageLength; }
    QTimer *searchTimer() { return window.searchTimer; }
    Modem *modem() { return window.modem.get(); }
    FlashWriter &flashWriter() { return window.writeSession.flashWriter(); }

private:
    VELDfwloader &window;
};
