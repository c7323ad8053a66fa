#pragma once

#include <QCoreApplication>
#include <QString>

// The flasher's own texts, which the window never shows.
class FlasherText
{
    Q_DECLARE_TR_FUNCTIONS(FlasherText)

public:
    static QString keepWriting();
    static QString stoppedBeforeWrite();
    static QString stillWaiting(const QString &port);
    static QString notFound(const QString &where);
    static QString noneFound();
    // A COM name without a device: where to see which ones have one.
    static QString seeList(const QString &reason);
};
