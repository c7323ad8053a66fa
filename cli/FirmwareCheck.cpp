#include "cli/FirmwareCheck.h"

#include "cli/Console.h"
#include "device/DialogueText.h"
#include "device/FlashWriter.h"

#include <QFileInfo>
#include <QSaveFile>

namespace {

std::unique_ptr<HexLoader> loaderOnEmptyImage()
{
    // As the window starts: every cell erased, nothing loaded yet.
    auto empty = std::make_unique<FirmwareImage>();
    empty->fill(FirmwareEmptyCell);
    return std::make_unique<HexLoader>(*empty, 0);
}

} // namespace

FirmwareCheck::FirmwareCheck(Console &console)
    : console(console), loader(loaderOnEmptyImage())
{
}

FirmwareCheck::~FirmwareCheck() = default;

bool FirmwareCheck::load(const QString &path)
{
    if (!loader->loadFile(path)) {
        console.error(DialogueText::hexRefused());
        console.error(loader->errorString());
        return false;
    }
    filePath = QFileInfo(path).absoluteFilePath();
    console.line(DialogueText::hexAccepted(imageLength()));
    for (const HexLoader::Warning &warning : loader->warnings())
        console.error(warning.text);
    console.line(tr("Bloecke: %1 zu %2 Byte").arg(blockTotal()).arg(FlashWriter::BlockSize));
    return true;
}

int FirmwareCheck::blockTotal() const
{
    return FlashWriter::blockTotalFor(imageLength());
}

bool FirmwareCheck::writeBinary(const QString &path)
{
    QByteArray bytes(FirmwareCellCount, Qt::Uninitialized);
    for (int i = 0; i < FirmwareCellCount; ++i)
        bytes[i] = char(image()[size_t(i)] & 0xFF);
    // Never a half-written image under the name a script asked for.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        console.error(tr("Abbild nicht geschrieben: %1: %2").arg(path, file.errorString()));
        return false;
    }
    console.line(tr("Abbild geschrieben: %1 (%2 Byte)").arg(path).arg(bytes.size()));
    return true;
}
