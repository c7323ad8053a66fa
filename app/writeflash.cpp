#include "app/VELDfwloader.h"

#include "device/DialogueText.h"
#include "device/FlashWriter.h"
#include "serial/Modem.h"

#include <QLabel>

// Starts the flash write; the writer reports back through the event loop,
// so the window keeps painting and a silent instrument cannot hang it.
void VELDfwloader::on_pushButton_2_clicked()
{
    if (flashWriteRunning())
        return;
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
    if (!written) {
        const QString advice = outcome.advice();
        const QString full = advice.isEmpty() ? outcome.text() : outcome.text() + QStringLiteral(". ") + advice;
        ui.label_2->setToolTip(full);
        ui.statusBar->showMessage(full, 0);
        return;
    }
    ui.statusBar->showMessage(outcome.text(), 0);
    ui.label_3->setText(DialogueText::newFirmwareExit());
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
