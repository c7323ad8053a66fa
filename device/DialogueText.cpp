#include "device/DialogueText.h"

#include "device/VersionReply.h"

QString DialogueText::searching(const QString &port)
{
    return tr("Suche HW :") + port;
}

QString DialogueText::found(const QString &port)
{
    return tr("HW gefunden an: ") + port;
}

QString DialogueText::firmwareVersion(int version)
{
    return tr("FW: %1").arg(VersionReply::versionText(version));
}

QString DialogueText::blockProgress(int released, int total)
{
    return tr("Block: %1 / %2").arg(released).arg(total);
}

QString DialogueText::hexAccepted(qint32 imageLength)
{
    return tr("HEX-Datei OK!! Laenge: %1 Byte").arg(imageLength);
}

QString DialogueText::hexRefused()
{
    return tr("HEX-Datei nicht geeignet!!");
}

QString DialogueText::writeStarting()
{
    return tr("Flash schreiben starten, bitte warten!");
}

QString DialogueText::writing()
{
    return tr("Flash wird beschrieben!");
}

QString DialogueText::written()
{
    return tr("Flash neu beschrieben!");
}

QString DialogueText::newFirmwareExit()
{
    return tr("FW: neu, Exit Programm");
}

QString DialogueText::lineLost()
{
    return tr("Verbindung zur HW unterbrochen");
}

QString DialogueText::waitingForInstrument()
{
    return tr("warte auf HW");
}

QString DialogueText::foundVersion(int version)
{
    return tr("gefunden FW %1").arg(VersionReply::versionText(version));
}

QString DialogueText::blockOf(int released, int total)
{
    return tr("Block %1 / %2").arg(released).arg(total);
}

QString DialogueText::writtenAt(const QString &time)
{
    return tr("geschrieben %1").arg(time);
}

QString DialogueText::failed()
{
    return tr("Fehler");
}

QString DialogueText::noConnection()
{
    return tr("Keine Verbindung zur HW");
}

QString DialogueText::tooLarge()
{
    return tr("HEX-Datei zu gross");
}

QString DialogueText::writeError()
{
    return tr("Schreibfehler an der HW");
}

QString DialogueText::noReply()
{
    return tr("Keine Antwort von der HW");
}

QString DialogueText::sendTimeout()
{
    return tr("HW nimmt keine Daten an");
}

QString DialogueText::interrupted()
{
    return tr("Schreiben abgebrochen");
}

QString DialogueText::notWritten(const QString &why)
{
    return tr("%1, Flash nicht beschrieben").arg(why);
}

QString DialogueText::stoppedAtBlock(const QString &what, int block, int total)
{
    return tr("%1, Abbruch bei Block %2 / %3").arg(what).arg(block).arg(total);
}

QString DialogueText::stoppedAtBlockShort(int block, int total)
{
    return tr("Abbruch bei Block %1 / %2").arg(block).arg(total);
}

QString DialogueText::switchOffAndOn()
{
    return tr("Die HW wartet wohl noch mitten im Schreiben: Geraet aus- und einschalten, dann neu schreiben");
}

QString DialogueText::noReplyBrief()
{
    return tr("Keine Antwort");
}

QString DialogueText::lineLostBrief()
{
    return tr("Verbindung unterbrochen");
}

QString DialogueText::writeErrorBrief()
{
    return tr("Schreibfehler");
}

QString DialogueText::sendTimeoutBrief()
{
    return tr("HW nimmt nichts an");
}

QString DialogueText::interruptedBrief()
{
    return tr("Abgebrochen");
}

QString DialogueText::switchOffAndOnBrief(const QString &what)
{
    return tr("%1 - HW aus- und einschalten").arg(what);
}
