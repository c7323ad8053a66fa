#include "app/VELDfwloader.h"

#include "device/DialogueText.h"
#include "image/HexLoader.h"

#include <QDebug>
#include <QDir>
#include <QFileDialog>

// Lets the user pick a HEX file and takes it into the image only when it
// is accepted; a refused file changes nothing that "Write Flash" sends.
void VELDfwloader::on_pushButton_clicked()
{
    const QString fileName = QFileDialog::getOpenFileName(
            this, tr("HEX-Datei Laden", "FileDialog"), QDir(QDir::homePath()).filePath(QStringLiteral("*.hex")),
            tr("HEX-Datei (*.hex)", "FileDialog"));
    if (fileName.isEmpty()) {
        ui.label->setText(tr("HEX-Datei Laden, Abbruch!"));
        colourLabel(ui.label, Qt::red);
        return;
    }
    clearLastWrite();
    const QString path = QDir::home().filePath(fileName);
    HexLoader loader(image, imageLength);
    if (!loader.loadFile(path)) {
        qDebug().noquote() << QStringLiteral("HEX file %1 refused: %2").arg(fileName, loader.errorString());
        ui.label->setText(DialogueText::hexRefused());
        ui.label->setToolTip(loader.errorString());
        colourLabel(ui.label, Qt::red);
        ui.pushButton_2->setEnabled(false);
        return;
    }
    image = loader.image();
    imageLength = loader.imageLength();
    writeSession.fileAccepted(path, loader);
    ui.label->setText(DialogueText::hexAccepted(imageLength));
    // Empty unless something was passed over or may not be meant.
    ui.label->setToolTip(loader.warningText());
    colourLabel(ui.label, Qt::darkGreen);
    ui.pushButton_2->setEnabled(true);
}
