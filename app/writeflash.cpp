#include "app/VELDfwloader.h"

#include "device/DialogueText.h"
#include "serial/Modem.h"

#include <QDebug>
#include <QLabel>
#include <QTimer>

// Starts the flash write; the session reports back through the event loop,
// so the window keeps painting and a silent instrument cannot hang it.
void VELDfwloader::on_pushButton_2_clicked()
{
    if (flashWriteRunning())
        return;
    clearLastWrite();
    if (!writeSession.start(instrumentFound() ? modem->device() : nullptr, writeTarget(), image, imageLength))
        return; // the outcome is shown already
    setBusy(true);
    ui.statusBar->showMessage(DialogueText::writeStarting(), 0);
}

// A new file or write: the last write's outcome must not stand beside it.
void VELDfwloader::clearLastWrite()
{
    ui.label_2->clear();
    ui.label_2->setPalette(palette());
    ui.label_2->setToolTip(QString());
    if (ui.label_3->text() == DialogueText::newFirmwareExit())
        ui.label_3->clear();
    ui.label_3->setToolTip(QString());
    // While searching, the search's next step replaces the status.
    if (instrumentFound())
        ui.statusBar->showMessage(DialogueText::found(portName), 0);
}

WriteSession::Target VELDfwloader::writeTarget() const
{
    if (!instrumentFound())
        return {};
    return {portName, modem->devicePath(), firmwareVersion};
}

void VELDfwloader::showBlockProgress(int released, int blocks)
{
    blockProgress = DialogueText::blockProgress(released, blocks);
    if (!blockLabelPause->isActive())
        paintBlockProgress();
    // Once: the same message again would only cost a repaint per block.
    if (ui.statusBar->currentMessage() != DialogueText::writing())
        ui.statusBar->showMessage(DialogueText::writing(), 0);
}

// At most one change an interval; a count held back shows when it ends.
void VELDfwloader::paintBlockProgress()
{
    if (ui.label_2->text() == blockProgress)
        return;
    ui.label_2->setText(blockProgress);
    blockLabelPause->start();
}

void VELDfwloader::finishFlashWrite(bool written)
{
    // A count held back must not cover the outcome.
    blockLabelPause->stop();
    setBusy(false);
    if (closeRefusedNote)
        closeRefusedNote->hide();
    const FlashOutcome outcome = writeSession.outcome();
    ui.label_2->setText(outcome.shortText());
    colourLabel(ui.label_2, written ? Qt::darkGreen : Qt::red);
    // What to do now, in short where it is seen; the whole text on hovering.
    ui.label_2->setToolTip(written ? QString() : outcome.fullText());
    ui.statusBar->showMessage(outcome.statusText(), 0);
    if (written)
        ui.label_3->setText(DialogueText::newFirmwareExit());
    ui.label_3->setToolTip(QString());
    // Lost during the write: off and on is the advice, and then the search.
    if (instrumentFound() && !modem->device())
        searchAgain();
}

// The status bar keeps the write's outcome; a record that failed is told
// beside the firmware version.
void VELDfwloader::showRecorded(bool written)
{
    const QString warning = written ? QString() : flashRecord.errorString();
    ui.label_3->setToolTip(warning);
    if (!warning.isEmpty())
        qDebug().noquote() << warning;
    if (quitAfterWrite && !flashRecord.isAppending())
        quitNow();
}

bool VELDfwloader::flashWriteRunning() const
{
    return writeSession.isRunning();
}

void VELDfwloader::setBusy(bool busy)
{
    ui.pushButton->setEnabled(!busy);
    ui.pushButton_2->setEnabled(!busy);
}
