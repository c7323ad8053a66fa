#include "FlashStreamCheck.h"

#include "FuzzCheck.h"

#include <QByteArray>

namespace {

const QByteArray StartCommand = QByteArrayLiteral("@g#####;");
constexpr int BlockBytes = 2 + 64;
constexpr char BlockReady = 0x6B;

} // namespace

FlashStreamCheck::FlashStreamCheck(const FirmwareImage &image, qint32 imageLength)
    : image(image), blockCount(imageLength < 0 ? 0 : qint64(imageLength) / 64 + 1)
{
}

qint64 FlashStreamCheck::streamSize() const
{
    return StartCommand.size() + blockCount * BlockBytes + 2;
}

char FlashStreamCheck::expectedAt(qint64 position) const
{
    if (position < StartCommand.size())
        return StartCommand.at(position);
    const qint64 offset = position - StartCommand.size();
    const qint64 block = offset / BlockBytes;
    if (block >= blockCount)
        return char(0xFF); // end marker
    const qint64 address = block * 64;
    switch (offset % BlockBytes) {
    case 0:
        return char(address & 0xFF);
    case 1:
        return char(address >> 8 & 0xFF);
    default:
        return char(image[std::size_t(address + offset % BlockBytes - 2)] & 0xFF);
    }
}

int FlashStreamCheck::blocksStarted() const
{
    if (written <= StartCommand.size())
        return 0;
    return int(qMin<qint64>((written - StartCommand.size() + BlockBytes - 1) / BlockBytes, blockCount));
}

void FlashStreamCheck::read(char byte)
{
    // Input before the start command is stale and releases nothing.
    if (written < StartCommand.size())
        return;
    ++replies;
    if (byte == BlockReady)
        ++releases;
}

void FlashStreamCheck::wrote(const char *bytes, qint64 count)
{
    fuzzCheck(!closed, "sent after the write had ended");
    for (qint64 i = 0; i < count; ++i, ++written) {
        fuzzCheck(writable() && written < streamSize(), "sent past the end marker, or a cell from beyond the image");
        const qint64 offset = written - StartCommand.size();
        if (offset >= 0 && offset % BlockBytes == 0 && offset / BlockBytes < blockCount)
            fuzzCheck(releases > offset / BlockBytes, "sent a block that no 0x6B released");
        fuzzCheck(bytes[i] == expectedAt(written), "sent a byte other than the image's");
    }
}
