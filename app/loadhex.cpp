#include "app/VELDfwloader.h"

#include "device/DialogueText.h"
#include "image/HexLoader.h"
#include "userfile/UserFile.h"

#include <QDebug>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

// Lets the user pick a HEX file; a cancel keeps the file loaded before.
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
    loadHexFile(QDir::home().filePath(fileName));
}

// "Open with" and a file dropped on the program's icon name it first,
// relative to the working folder.
void VELDfwloader::loadFileArgument(const QStringList &arguments, const QString &undecodable)
{
    if (!undecodable.isEmpty())
        showRefusedFile(UserFile::undecodableText(undecodable));
    else if (arguments.size() > 1)
        loadHexFile(QFileInfo(arguments.at(1)).absoluteFilePath());
}

void VELDfwloader::showRefusedFile(const QString &reason)
{
    ui.label->setText(DialogueText::hexRefused());
    ui.label->setToolTip(reason);
    colourLabel(ui.label, Qt::red);
    ui.pushButton_2->setEnabled(false);
}

// Takes the file into the image only when it is accepted; a refused file
// changes nothing that "Write Flash" sends.
void VELDfwloader::loadHexFile(const QString &path)
{
    clearLastWrite();
    HexLoader loader(image, imageLength);
    if (!loader.loadFile(path)) {
        qDebug().noquote() << QStringLiteral("HEX file %1 refused: %2").arg(path, loader.errorString());
        showRefusedFile(loader.errorString());
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
