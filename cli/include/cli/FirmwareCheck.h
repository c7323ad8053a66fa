#pragma once

#include "image/HexLoader.h"

#include <QCoreApplication>
#include <QString>

#include <memory>

class Reporter;

// Loads a HEX file into a fresh image and judges it with the window's
// loader, then says so the way the window does, with the loader's reason
// or warnings, and with --json as a line of type "check".
class FirmwareCheck
{
    Q_DECLARE_TR_FUNCTIONS(FirmwareCheck)

public:
    explicit FirmwareCheck(Reporter &reporter);
    ~FirmwareCheck();

    bool load(const QString &path);
    // The image's low bytes, one per cell; false with a message if it fails.
    bool writeBinary(const QString &path);

    const FirmwareImage &image() const { return hexLoader->image(); }
    const HexLoader &loader() const { return *hexLoader; }
    // The file last loaded, made absolute.
    QString path() const { return filePath; }
    qint32 imageLength() const { return hexLoader->imageLength(); }
    int blockTotal() const;

private:
    void report(bool accepted) const;

    Reporter &reporter;
    std::unique_ptr<HexLoader> hexLoader;
    QString filePath;
};
