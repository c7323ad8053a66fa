#pragma once

#include "ui_VELDfwloader.h"

#include "record/FlashRecord.h"
#include "device/SearchStep.h"
#include "stop/StopPolicy.h"
#include "device/WriteSession.h"
#include "image/FirmwareImage.h"

#include <QMainWindow>
#include <QString>
#include <QStringList>

#include <memory>

class Modem;
class PortProbe;
class QLabel;
class QTimer;

// The main window: owns the firmware image, the serial port object and the
// state of the device search. The slots stay thin: the core classes do the
// work and say what to show.
class VELDfwloader : public QMainWindow
{
    Q_OBJECT

public:
    VELDfwloader();
    ~VELDfwloader() override;

    // The firmware file named on the command line (arguments as
    // QCoreApplication::arguments() has them), loaded as if picked in the
    // dialog; none, nothing. undecodable: an argument that is no valid
    // name (UserFile::undecodableArgument), refused instead.
    void loadFileArgument(const QStringList &arguments, const QString &undecodable = {});

private slots:
    void on_pushButton_clicked();
    void fopentty();
    void on_pushButton_2_clicked();
    void on_pushButton_3_clicked();

private:
    void growWithFont();
    void drainInput();
    void colourLabel(QLabel *target, Qt::GlobalColor colour);
    void loadHexFile(const QString &path);
    void showRefusedFile(const QString &reason);
    SearchState searchState();
    void showSearchStep(SearchStep::Outcome outcome);
    bool instrumentFound() const;
    void showLineLost();
    void searchAgain();
    void clearLastWrite();
    // flash write
    void showBlockProgress(int replies, int blocks);
    void paintBlockProgress();
    void finishFlashWrite(bool written);
    bool flashWriteRunning() const;
    void setBusy(bool busy);
    void showCloseRefused();
    WriteSession::Target writeTarget() const;
    void showRecorded(bool written);
    // SIGINT, SIGTERM, SIGHUP
    void stopRequested(int signalNumber);
    void quitNow();

    Ui::ZirbelWerk ui;
    FirmwareImage image;
    qint32 imageLength = 0;
    std::unique_ptr<Modem> modem;
    std::unique_ptr<PortProbe> portProbe; // asks through modem
    QString portName;
    bool portOpen = false;
    QTimer *searchTimer = nullptr;
    QStringList portList;
    qint32 portIndex = 0;
    bool awaitingReply = false;
    QString replyTag;
    qint32 firmwareVersion = 0;
    qint32 fontSize = 0;
    bool debugTrace = false;
    char replyBuffer[SearchState::ReplyBufferSize];

    FlashRecord flashRecord;
    WriteSession writeSession {FlashRecord::ProgramWindow, flashRecord};
    QTimer *blockLabelPause = nullptr;
    QString blockProgress;
    QLabel *closeRefusedNote = nullptr;
    StopPolicy stopPolicy;
    bool quitAfterWrite = false;

    friend class WindowProbe; // tests reach the search state through it
};
