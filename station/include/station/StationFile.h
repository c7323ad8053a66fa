#pragma once

#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <chrono>

// What a station writes, as an engineer prepared it: a key=value file
// (.zwstation) naming the firmware, its SHA-256, the mode, the re-arm time,
// the fixture's slots and the station's name. A bare HEX file makes one
// that pins nothing.
class StationFile
{
    Q_DECLARE_TR_FUNCTIONS(StationFile)

public:
    static constexpr const char *Extension = "zwstation";
    static constexpr std::chrono::seconds RearmAfterDefault {3};
    static constexpr std::chrono::seconds RearmAfterShortest {1};
    static constexpr std::chrono::seconds RearmAfterLongest {3600};

    // Whether a command line's file is a station file, by its extension.
    static bool isStationFile(const QString &path);
    // A HEX file alone: manual, no hash pinned.
    static StationFile ofHexFile(const QString &hexPath);

    // False, with errorString(), when the file cannot be read or holds
    // no firmware or a value that makes no sense.
    bool load(const QString &path);
    // The firmware is written relative to the file's folder where it can be.
    bool save(const QString &path) const;
    QString errorString() const { return error; }

    QString firmware;            // absolute
    QString sha256;              // lowercase hex; empty: nothing pinned
    bool automatic = false;      // mode=auto
    std::chrono::seconds rearmAfter = RearmAfterDefault;
    QStringList ports;           // empty: every slot the station reaches
    QString name;

private:
    QString error;
};
