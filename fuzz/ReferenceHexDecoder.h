#pragma once

#include "image/FirmwareImage.h"

#include <QByteArray>
#include <QtGlobal>

#include <string>
#include <vector>

// A second, deliberately plain reading of the HEX loader's rules, written
// apart from the loader so that the two can be compared: words between
// blanks, each ":" word a complete record with a correct checksum, data
// taken only below 64 KiB behind a type-04 record with 0000, the length
// the highest address stored (an empty record counts as stored but moves
// nothing; alone it gives -1).
class ReferenceHexDecoder
{
public:
    // start is the image the load begins from; it must outlive the decoder.
    explicit ReferenceHexDecoder(const FirmwareImage &start);

    void decode(const QByteArray &text);

    bool accepted() const { return isAccepted; }
    qint32 length() const { return highest; }
    // Lays the stored data bytes, in file order, over cells.
    void overlay(FirmwareImage &cells) const;

private:
    bool take(const std::string &word);
    bool takeData(const std::vector<int> &bytes);
    bool signatureInPlace() const;
    qint32 cell(int address) const;

    struct Store
    {
        int address;
        qint32 value;
    };

    const FirmwareImage &start;
    std::vector<Store> stores;
    bool isAccepted = false;
    bool stored = false;
    qint32 highest = -1;
    int linearBase = 0xFFFF;
    int segmentBase = 0;
};
