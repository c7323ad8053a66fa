#pragma once

#include "image/FirmwareImage.h"

#include <QtGlobal>

// Watches both directions of one flash write and checks what the host
// sends against the only stream it may send: the start command, block i
// (address 64*i and the low bytes of its cells, all inside the image) only
// after the i-th 0x6B, then the end marker, and nothing after it.
class FlashStreamCheck
{
public:
    explicit FlashStreamCheck(const FirmwareImage &image, qint32 imageLength);

    // False when the image reaches past the cells: nothing may be sent.
    bool writable() const { return blockCount * 64 <= FirmwareCellCount; }
    int blocks() const { return blockCount; }
    bool complete() const { return writable() && written == streamSize(); }
    int blocksStarted() const;
    int released() const { return releases; }
    int repliesRead() const { return replies; }

    // A byte the host took from the line.
    void read(char byte);
    // Bytes the line took from the host.
    void wrote(const char *bytes, qint64 count);
    // After the outcome nothing more may be sent.
    void close() { closed = true; }

private:
    qint64 streamSize() const;
    char expectedAt(qint64 position) const;

    const FirmwareImage &image;
    qint64 blockCount;
    qint64 written = 0;
    int releases = 0;
    int replies = 0;
    bool closed = false;
};
