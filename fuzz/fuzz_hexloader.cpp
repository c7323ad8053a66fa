// The HEX loader on arbitrary file contents: it agrees with an independent
// reading of its rules, an accepted file yields exactly its data records
// over the earlier image, and a refused one leaves the earlier image and
// length as they were.
#include "FuzzCheck.h"
#include "ReferenceHexDecoder.h"
#include "image/HexLoader.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

namespace {

// An earlier accepted image: signature in place, every cell distinct from
// its neighbours, so a misplaced byte shows.
FirmwareImage signedImage()
{
    FirmwareImage image = emptyFirmwareImage();
    for (int i = 0; i < FirmwareCellCount; ++i)
        image[std::size_t(i)] = (i * 31 + i / 253) & 0xFF;
    image[0x20] = 0x00;
    image[0x21] = 0xEF;
    image[0x22] = 0x7E;
    image[0x23] = 0xF0;
    return image;
}

bool same(const FirmwareImage &a, const FirmwareImage &b)
{
    return std::memcmp(a.data(), b.data(), sizeof a) == 0;
}

// One earlier state and a loader on it. The loader is kept from input to
// input while it refuses, since a refusal must leave it as it was; all
// images live on the heap, so that a cell written out of range is caught.
class Scenario
{
public:
    explicit Scenario(const FirmwareImage &start, qint32 startLength)
        : start(std::make_unique<FirmwareImage>(start)), startLength(startLength),
          expected(std::make_unique<FirmwareImage>())
    {
        renew();
    }

    void check(const QByteArray &text);

private:
    void renew() { loader = std::make_unique<HexLoader>(*start, startLength); }

    const std::unique_ptr<const FirmwareImage> start;
    const qint32 startLength;
    std::unique_ptr<FirmwareImage> expected;
    std::unique_ptr<HexLoader> loader;
};

void Scenario::check(const QByteArray &text)
{
    ReferenceHexDecoder reference(*start);
    reference.decode(text);

    const bool accepted = loader->loadText(text);
    fuzzCheck(accepted == reference.accepted(), "verdict differs from the reference reading");
    if (!accepted) {
        fuzzCheck(same(loader->image(), *start), "refused load changed the image");
        fuzzCheck(loader->imageLength() == startLength, "refused load changed the length");
        fuzzCheck(!loader->errorString().isEmpty(), "refused load without a reason");
        return;
    }
    *expected = *start;
    reference.overlay(*expected);
    fuzzCheck(same(loader->image(), *expected), "accepted image differs from the data records");
    fuzzCheck(loader->imageLength() == reference.length(), "accepted length differs from the data records");
    fuzzCheck(loader->errorString().isEmpty(), "accepted load carries an error text");

    // The same file again over the result: accepted again, nothing moves.
    fuzzCheck(loader->loadText(text), "second load of an accepted file refused");
    fuzzCheck(same(loader->image(), *expected), "second load of the same file changed the image");
    fuzzCheck(loader->imageLength() == reference.length(), "second load of the same file changed the length");
    renew();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static Scenario fresh(emptyFirmwareImage(), 0);
    static Scenario afterEarlierLoad(signedImage(), 0x1234);
    // No copy: reading past the input is caught as well.
    const QByteArray text = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    fresh.check(text);
    afterEarlierLoad.check(text);
    return 0;
}
