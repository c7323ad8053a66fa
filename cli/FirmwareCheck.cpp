#include "cli/FirmwareCheck.h"

#include "cli/Reporter.h"
#include "device/DialogueText.h"
#include "device/FlashWriter.h"
#include "userfile/UserFile.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>

namespace {

std::unique_ptr<HexLoader> loaderOnEmptyImage()
{
    // As the window starts: every cell erased, nothing loaded yet.
    auto empty = std::make_unique<FirmwareImage>();
    empty->fill(FirmwareEmptyCell);
    return std::make_unique<HexLoader>(*empty, 0);
}

QJsonValue numberOrNull(qint64 value, bool known)
{
    return known ? QJsonValue(value) : QJsonValue();
}

QJsonObject jsonOf(const HexLoader::Warning &warning)
{
    const bool placed = warning.address >= 0;
    return {{QStringLiteral("code"), warning.code},
            {QStringLiteral("message"), warning.text},
            {QStringLiteral("address"), numberOrNull(warning.address, placed)},
            {QStringLiteral("bytes"), numberOrNull(warning.bytes, placed)},
            {QStringLiteral("line"), numberOrNull(warning.line, placed)}};
}

} // namespace

FirmwareCheck::FirmwareCheck(Reporter &reporter)
    : reporter(reporter), hexLoader(loaderOnEmptyImage())
{
}

FirmwareCheck::~FirmwareCheck() = default;

bool FirmwareCheck::load(const QString &path)
{
    // The system's form, as the record and the outcome line write it.
    filePath = path.isEmpty() ? QString() : QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
    if (!hexLoader->loadFile(path)) {
        reporter.warn(DialogueText::hexRefused());
        reporter.warn(hexLoader->errorString());
        report(false);
        return false;
    }
    reporter.say(DialogueText::hexAccepted(imageLength()));
    for (const HexLoader::Warning &warning : hexLoader->warnings())
        reporter.warn(warning.text);
    reporter.say(tr("Bloecke: %1 zu %2 Byte").arg(blockTotal()).arg(FlashWriter::BlockSize));
    report(true);
    return true;
}

void FirmwareCheck::report(bool accepted) const
{
    QJsonArray warnings;
    if (accepted) {
        for (const HexLoader::Warning &warning : hexLoader->warnings())
            warnings.append(jsonOf(warning));
    }
    reporter.emitJson(QStringLiteral("check"),
                      {{QStringLiteral("file"), filePath.isEmpty() ? QJsonValue() : QJsonValue(filePath)},
                       {QStringLiteral("accepted"), accepted},
                       {QStringLiteral("message"), accepted ? QJsonValue() : QJsonValue(hexLoader->errorString())},
                       {QStringLiteral("image_length"), numberOrNull(imageLength(), accepted)},
                       {QStringLiteral("blocks"), numberOrNull(blockTotal(), accepted)},
                       {QStringLiteral("warnings"), warnings}});
}

int FirmwareCheck::blockTotal() const
{
    return FlashWriter::blockTotalFor(imageLength());
}

bool FirmwareCheck::writeBinary(const QString &path)
{
    const QByteArray bytes = firmwareBytes(image());
    // Never a half-written image under the name a script asked for, nor
    // one in the place of a device or FIFO standing there.
    if (const QString why = UserFile::replaceWith(path, bytes); !why.isEmpty()) {
        reporter.warn(tr("Abbild nicht geschrieben: %1: %2").arg(QDir::toNativeSeparators(path), why));
        return false;
    }
    reporter.say(tr("Abbild geschrieben: %1 (%2 Byte)").arg(QDir::toNativeSeparators(path)).arg(bytes.size()));
    return true;
}
