#pragma once

#include "ui_VELDfwloader.h"

#include "device/SearchStep.h"
#include "image/FirmwareImage.h"

#include <QMainWindow>
#include <QString>
#include <QStringList>

class FlashWriter;
class Modem;
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

private slots:
    void on_pushButton_clicked();
    void fopentty();
    void on_pushButton_2_clicked();
    void on_pushButton_3_clicked();

private:
    static constexpr int ReplyBufferSize = 8004;

    void drainInput();
    void colourLabel(QLabel *target, Qt::GlobalColor colour);
    void showSearchStep(SearchStep::Outcome outcome);
    // flash write
    void showBlockProgress(int replies, int blocks);
    void finishFlashWrite(bool written);
    bool flashWriteRunning() const;
    void setBusy(bool busy);
    void showCloseRefused();

    Ui::ZirbelWerk ui;
    FirmwareImage image;
    qint32 imageLength = 0;
    Modem *modem;
    QString portName;
    bool portOpen;
    QTimer *searchTimer;
    QStringList portList;
    qint32 portIndex;
    bool awaitingReply;
    QString replyTag;
    qint32 firmwareVersion;
    qint32 fontSize;
    bool debugTrace;
    char replyBuffer[ReplyBufferSize];

    FlashWriter *flashWriter = nullptr;
    QLabel *closeRefusedNote = nullptr;

    friend class WindowProbe; // tests reach the search state through it
};
