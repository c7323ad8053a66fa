#include "cli/FlasherText.h"

QString FlasherText::keepWriting()
{
    return tr("Jetzt abbrechen liesse die HW halb beschrieben zurueck: das Schreiben geht weiter. "
              "Ein zweites Signal bricht trotzdem ab.");
}

QString FlasherText::stoppedBeforeWrite()
{
    return tr("Abgebrochen, bevor geschrieben wurde: Flash nicht beschrieben");
}

QString FlasherText::stillWaiting(const QString &port)
{
    return tr("%1 antwortet nicht, und das letzte Schreiben dorthin ist nicht fertig geworden: "
              "die HW wartet wohl noch darin. Geraet aus- und einschalten.").arg(port);
}

QString FlasherText::notFound(const QString &where)
{
    return tr("Keine HW gefunden an %1").arg(where);
}

QString FlasherText::seeList(const QString &reason)
{
    return tr("%1 (siehe zirbelwerk-flash --list)").arg(reason);
}

QString FlasherText::noneFound()
{
    return tr("Keine HW gefunden");
}
