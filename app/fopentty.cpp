#include "app/VELDfwloader.h"

#include "device/DialogueText.h"
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
        ui.statusBar->showMessage(DialogueText::searching(portName), 0);
    if (outcome == Outcome::ReplyRefused || outcome == Outcome::Found)
        qDebug("Version: %03i", firmwareVersion);
    if (outcome != Outcome::Found)
        return;
    ui.statusBar->showMessage(DialogueText::found(portName), 0);
    ui.label_3->setText(DialogueText::firmwareVersion(firmwareVersion));
    ui.pushButton->setEnabled(true);
}

// The search does not start again: the found state stays, only its line is gone.
void VELDfwloader::showLineLost()
{
    const bool found = portOpen && !awaitingReply;
    if (found && !flashWriteRunning())
        ui.statusBar->showMessage(DialogueText::lineLost(), 0);
}
