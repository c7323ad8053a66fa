#include "app/VELDfwloader.h"

#include "device/DialogueText.h"
#include "device/FlashWriter.h"
#include "serial/Modem.h"

#include <QDebug>
#include <QLabel>
#include <QTimer>

#include <chrono>

namespace {

// Ten changes a second are plenty to watch. A repaint per block costs CPU,
// and right after a block it holds the CPU just as the block is on its way.
constexpr std::chrono::milliseconds BlockLabelInterval{100};

} // namespace

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
        blockLabelPause = new QTimer(this);
        blockLabelPause->setSingleShot(true);
        blockLabelPause->setInterval(BlockLabelInterval);
        connect(blockLabelPause, &QTimer::timeout, this, &VELDfwloader::paintBlockProgress);
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

void VELDfwloader::recordWrite(const FlashOutcome &outcome)
{
    ui.label_3->setToolTip(QString());
    recorder.writeEnded(portName, imageLength, outcome);
}

// The status bar keeps the write's outcome; a record that failed is told
// beside the firmware version.
void VELDfwloader::showRecorded(bool written)
{
    const QString warning = written ? QString() : recorder.record().errorString();
    ui.label_3->setToolTip(warning);
    if (!warning.isEmpty())
        qDebug().noquote() << warning;
    if (quitAfterWrite && !recorder.record().isAppending())
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
