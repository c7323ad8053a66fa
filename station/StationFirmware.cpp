#include "station/StationFirmware.h"

#include "device/DialogueText.h"

#include <QDir>
#include <QFileInfo>

namespace {

std::unique_ptr<HexLoader> loaderOnEmptyImage()
{
    // As the other programs start: every cell erased, nothing loaded yet.
    auto empty = std::make_unique<FirmwareImage>();
    empty->fill(FirmwareEmptyCell);
    return std::make_unique<HexLoader>(*empty, 0);
}

} // namespace

StationFirmware::StationFirmware() : hexLoader(loaderOnEmptyImage()) {}

StationFirmware::~StationFirmware() = default;

bool StationFirmware::load(const QString &path, const QString &pinnedSha256)
{
    filePath = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
    loaded = false;
    if (!hexLoader->loadFile(path)) {
        error = QStringLiteral("%1: %2 %3").arg(filePath, DialogueText::hexRefused(), hexLoader->errorString());
        return false;
    }
    if (!pinnedSha256.isEmpty() && sha256() != pinnedSha256.toLower()) {
        error = tr("Firmware abgelehnt: %1 hat SHA-256 %2, die Station verlangt %3")
                        .arg(filePath, sha256(), pinnedSha256.toLower());
        return false;
    }
    error.clear();
    loaded = true;
    return true;
}

QString StationFirmware::sha256() const
{
    return QString::fromLatin1(hexLoader->fileSha256().toHex());
}

QString StationFirmware::summary() const
{
    return tr("%1   %2   SHA-256 %3")
            .arg(QFileInfo(filePath).fileName(), DialogueText::hexAccepted(hexLoader->imageLength()), shortSha256());
}
