#include "app/VELDfwloader.h"

#include "device/DialogueText.h"
#include "device/SearchStep.h"
#include "device/SearchTiming.h"
#include "serial/Modem.h"

#include <QDebug>
#include <QTimer>

// One step of the device search per tick; once found, nothing more.
void VELDfwloader::fopentty()
{
    if (debugTrace)
        qDebug("veldfwloader::fopentty");
    searchTimer->stop();
    const auto outcome = SearchStep(*portProbe, searchState(), [this] { drainInput(); }).run();
    showSearchStep(outcome);
    if (const auto interval = SearchStep::nextInterval(outcome))
        searchTimer->start(*interval);
    if (debugTrace)
        qDebug("veldfwloader::fopentty ENDE");
}

SearchState VELDfwloader::searchState()
{
    return {portList, portIndex, portName, portOpen, awaitingReply, replyTag, firmwareVersion, replyBuffer};
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

// A port still being asked is no instrument yet.
bool VELDfwloader::instrumentFound() const
{
    return portOpen && !awaitingReply;
}

// A port still being asked is given up by the search itself, and a write
// tells the loss in its outcome.
void VELDfwloader::showLineLost()
{
    if (!instrumentFound() || flashWriteRunning())
        return;
    ui.statusBar->showMessage(DialogueText::lineLost(), 0);
    searchAgain();
}

// Switched off and on, the instrument comes back, perhaps on another port:
// searched for from the first name, as at start. The loss stays in place
// of the version it had.
void VELDfwloader::searchAgain()
{
    SearchStep(*portProbe, searchState(), [this] { drainInput(); }).startOver();
    ui.label_3->setText(DialogueText::lineLost());
    searchTimer->start(SearchTiming::FirstStep);
}
