#include "app/VELDfwloader.h"

#include "device/SearchStep.h"
#include "serial/Modem.h"

#include <QDebug>
#include <QTimer>

// One step of the device search per tick; once found, nothing more.
void VELDfwloader::fopentty()
{
    if (debugTrace)
        qDebug("veldfwloader::fopentty");
    searchTimer->stop();
    const SearchState state {portList, portIndex, portName, portOpen, awaitingReply,
                             replyTag, firmwareVersion, replyBuffer};
    const auto outcome = SearchStep(*modem, state, [this] { drainInput(); }).run();
    showSearchStep(outcome);
    if (const auto interval = SearchStep::nextInterval(outcome))
        searchTimer->start(*interval);
    if (debugTrace)
        qDebug("veldfwloader::fopentty ENDE");
}

void VELDfwloader::showSearchStep(SearchStep::Outcome outcome)
{
    using Outcome = SearchStep::Outcome;
    if (outcome == Outcome::QuerySent || outcome == Outcome::PortUnavailable)
        ui.statusBar->showMessage(QStringLiteral("Suche HW :") + portName, 0);
    if (outcome == Outcome::ReplyRefused || outcome == Outcome::Found)
        qDebug("Version: %03i", firmwareVersion);
    if (outcome != Outcome::Found)
        return;
    ui.statusBar->showMessage(tr("HW gefunden an: ") + portName, 0);
    ui.label_3->setText(QString::asprintf("FW: V%i.%02i", firmwareVersion / 100, firmwareVersion % 100));
    ui.pushButton->setEnabled(true);
}
