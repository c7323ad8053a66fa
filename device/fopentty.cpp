#include "app/VELDfwloader.h"

#include "device/SearchTiming.h"
#include "device/VersionReply.h"
#include "serial/Modem.h"

#include <QDebug>
#include <QTimer>

// One step of the device search per tick: try a port, or read the reply
// to the query sent on the previous tick. Once found, nothing more.
void VELDfwloader::fopentty()
{
    if (debugTrace)
        qDebug("veldfwloader::fopentty");
    searchTimer->stop();
    if (awaitingReply)
        readVersionReply();
    else if (!portOpen)
        tryNextPort();
    if (debugTrace)
        qDebug("veldfwloader::fopentty ENDE");
}

void VELDfwloader::tryNextPort()
{
    portName = portList.at(portIndex);
    ui.statusBar->showMessage(QStringLiteral("Suche HW :") + portName, 0);
    portOpen = modem->openPort(portName);
    if (portOpen) {
        drainInput();
        modem->writeString(VersionReply::Query);
        awaitingReply = true;
        searchTimer->start(SearchTiming::ReplyWait);
        return;
    }
    advancePortIndex();
    searchTimer->start(SearchTiming::AfterUnavailablePort);
    awaitingReply = false;
    modem->closePort();
}

void VELDfwloader::readVersionReply()
{
    awaitingReply = false;
    if (modem->readData(replyBuffer, VersionReply::Size) != VersionReply::Size) {
        giveUpOnPort();
        return;
    }
    const VersionReply reply = VersionReply::fromBytes(replyBuffer);
    replyTag = reply.tag;
    firmwareVersion = reply.version;
    qDebug("Version: %03i", firmwareVersion);
    if (!reply.isAccepted()) {
        giveUpOnPort();
        return;
    }
    ui.statusBar->showMessage(tr("HW gefunden an: ") + portName, 0);
    ui.label_3->setText(QString::asprintf("FW: V%i.%02i", firmwareVersion / 100, firmwareVersion % 100));
    ui.pushButton->setEnabled(true);
}

void VELDfwloader::giveUpOnPort()
{
    advancePortIndex();
    searchTimer->start(SearchTiming::AfterRefusedReply);
    modem->closePort();
    portOpen = false;
}

void VELDfwloader::advancePortIndex()
{
    ++portIndex;
    if (portIndex >= portList.size())
        portIndex = 0;
}
