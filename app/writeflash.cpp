#include "app/VELDfwloader.h"

#include "device/FlashWriter.h"
#include "serial/Modem.h"

#include <QLabel>
#include <QSerialPort>

// Starts the flash write; the writer reports back through the event loop,
// so the window keeps painting and a silent instrument cannot hang it.
void VELDfwloader::on_pushButton_2_clicked()
{
    if (flashWriteRunning())
        return;
    if (!flashWriter) {
        flashWriter = new FlashWriter(this);
        connect(flashWriter, &FlashWriter::replyReceived, this, &VELDfwloader::showBlockProgress);
        connect(flashWriter, &FlashWriter::finished, this, &VELDfwloader::finishFlashWrite);
    }
    ui.label_2->setPalette(palette());
    if (!flashWriter->start(portOpen ? modem->device() : nullptr, image, imageLength)) {
        finishFlashWrite(false);
        return;
    }
    setBusy(true);
    ui.statusBar->showMessage(tr("Flash schreiben starten, bitte warten!"), 0);
}

void VELDfwloader::showBlockProgress(int replies, int blocks)
{
    ui.label_2->setText(QString::asprintf("Block: %i / %i", replies, blocks));
    ui.statusBar->showMessage(tr("Flash wird beschrieben!"), 0);
}

void VELDfwloader::finishFlashWrite(bool written)
{
    setBusy(false);
    if (closeRefusedNote)
        closeRefusedNote->hide();
    if (!written) {
        ui.label_2->setText(flashWriter->errorString());
        colourLabel(ui.label_2, Qt::red);
        ui.statusBar->showMessage(flashWriter->errorString(), 0);
        return;
    }
    ui.label_2->setText(QString::asprintf("Block: %i / %i", flashWriter->replyCount(), flashWriter->blockTotal()));
    ui.statusBar->showMessage(tr("Flash neu beschrieben!"), 0);
    colourLabel(ui.label_2, Qt::darkGreen);
    ui.label_3->setText(QStringLiteral("FW: neu, Exit Programm"));
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
