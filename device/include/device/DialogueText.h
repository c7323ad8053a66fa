#pragma once

#include <QCoreApplication>
#include <QString>

// Every text of the instrument dialogue that the window and the flasher
// both show, spelled once. German is the program's own language; the
// English catalogue (i18n/) translates them.
class DialogueText
{
    Q_DECLARE_TR_FUNCTIONS(DialogueText)

public:
    static QString searching(const QString &port);
    static QString found(const QString &port);
    static QString firmwareVersion(int version);
    static QString blockProgress(int released, int total);
    static QString hexAccepted(qint32 imageLength);
    static QString hexRefused();
    static QString writeStarting();
    static QString writing();
    static QString written();
    static QString newFirmwareExit();
    static QString lineLost();
    // A station's slot, each short enough for its tile.
    static QString waitingForInstrument();
    static QString foundVersion(int version);
    static QString blockOf(int released, int total);
    static QString writtenAt(const QString &time);
    static QString failed();

    // Why a write failed; a reason alone fits a label, the flasher and the
    // status bar say it whole with notWritten or stoppedAtBlock.
    static QString noConnection();
    static QString tooLarge();
    static QString writeError();
    static QString noReply();
    static QString sendTimeout();
    static QString interrupted();
    static QString notWritten(const QString &why);
    static QString stoppedAtBlock(const QString &what, int block, int total);
    static QString stoppedAtBlockShort(int block, int total);
    static QString switchOffAndOn();
    // The same, short enough for the window's status bar.
    static QString noReplyBrief();
    static QString lineLostBrief();
    static QString writeErrorBrief();
    static QString sendTimeoutBrief();
    static QString interruptedBrief();
    static QString switchOffAndOnBrief(const QString &what);
};
