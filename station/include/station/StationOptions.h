#pragma once

#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>

// zirbelwerk-station [STATIONFILE | HEXFILE] [--auto] [--rearm-after SEK]
class StationOptions
{
    Q_DECLARE_TR_FUNCTIONS(StationOptions)

public:
    // arguments without the program's name. False, with errorString(), for a
    // wrong call.
    bool parse(const QStringList &arguments);
    QString errorString() const { return error; }
    static QString usage();

    QString file; // empty: none given
    bool automatic = false;
    std::optional<std::chrono::seconds> rearmAfter;
    bool help = false;
    bool version = false;

private:
    bool take(const QStringList &arguments, qsizetype &index);

    QString error;
};
