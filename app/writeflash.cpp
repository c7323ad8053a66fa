#include "app/VELDfwloader.h"

#include "device/DialogueText.h"
#include "device/FlashWriter.h"
#include "serial/Modem.h"

#include <QDebug>
#include <QLabel>

// Starts the flash write; the writer reports back through the event loop,
// so the window keeps painting and a silent instrument cannot hang it.
void VELDfwloader::on_pushButton_2_clicked()
{
    if (flashWriteRunning())
        return;
    recorder.writeStarted();
    if (!flashWriter) {
        flashWriter = new FlashWriter(this);
        connect(flashWriter, &FlashWriter::blockReleased, this, &VELDfwloader::showBlockProgress);
        connect(flashWriter, &FlashWriter::finished, this, &VELDfwloader::finishFlashWrite);
    }
    ui.label_2->setPalette(palette());
    ui.label_2->setToolTip(QString());
    if (!flashWriter->start(portOpen ? modem->device() : nullptr, image, imageLength)) {
        finishFlashWrite(false);
        return;
    }
    setBusy(true);
    ui.statusBar->showMessage(DialogueText::writeStarting(), 0);
}

void VELDfwloader::showBlockProgress(int released, int blocks)
{
    ui.label_2->setText(DialogueText::blockProgress(released, blocks));
    // Once: the same message again would only cost a repaint per block.
    if (ui.statusBar->currentMessage() != DialogueText::writing())
        ui.statusBar->showMessage(DialogueText::writing(), 0);
}

void VELDfwloader::finishFlashWrite(bool written)
{
    setBusy(false);
    if (closeRefusedNote)
        closeRefusedNote->hide();
    const FlashOutcome outcome = flashWriter->outcome();
    ui.label_2->setText(outcome.shortText());
    colourLabel(ui.label_2, written ? Qt::darkGreen : Qt::red);
    // The whole reason, and what to do now, where there is room for it.
    ui.label_2->setToolTip(written ? QString() : outcome.fullText());
    ui.statusBar->showMessage(outcome.fullText(), 0);
    if (written)
        ui.label_3->setText(DialogueText::newFirmwareExit());
    recordWrite(outcome);
}

// The status bar keeps the write's outcome; a record that failed is told
// beside the firmware version.
void VELDfwloader::recordWrite(const FlashOutcome &outcome)
{
    const QString warning = recorder.writeEnded(portName, imageLength, outcome);
    ui.label_3->setToolTip(warning);
    if (!warning.isEmpty())
        qDebug().noquote() << warning;
    if (quitAfterWrite)
        quitNow();
}

bool VELDfwloader::flashWriteRunning() const
{
    return flashWriter && flashWriter->isRunning();
}

void VELDfwloader::setBusy(bool busy)
{
    ui.pushButton->setEnabled(!busy);
    ui.pushButton_2->setEnabled(!busy);
}
