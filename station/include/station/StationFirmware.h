#pragma once

#include "image/HexLoader.h"

#include <QCoreApplication>
#include <QString>

#include <memory>

// The firmware a station writes: loaded as the other programs load it,
// and refused when its SHA-256 is not the one the station file pins.
class StationFirmware
{
    Q_DECLARE_TR_FUNCTIONS(StationFirmware)

public:
    // How much of the hash the header shows; enough to tell files apart.
    static constexpr int ShortHashLength = 12;

    StationFirmware();
    ~StationFirmware();

    // pinnedSha256 empty: any accepted file. False with errorString().
    bool load(const QString &path, const QString &pinnedSha256);
    bool isLoaded() const { return loaded; }
    QString errorString() const { return error; }

    QString path() const { return filePath; }
    QString sha256() const;
    QString shortSha256() const { return sha256().left(ShortHashLength); }
    const HexLoader &loader() const { return *hexLoader; }
    // "app.hex  HEX-Datei OK!! Laenge: n Byte  SHA-256 0123abcd..."
    QString summary() const;

private:
    std::unique_ptr<HexLoader> hexLoader;
    QString filePath;
    QString error;
    bool loaded = false;
};
