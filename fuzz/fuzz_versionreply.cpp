// The judgement of the instrument's version reply on arbitrary 8 bytes:
// accepted exactly when bytes 2-3 are "KB" and bytes 4-6 are three digits
// from 100 to 999.
#include "device/VersionReply.h"
#include "FuzzCheck.h"

#include <cstddef>
#include <cstdint>

namespace {

bool isDigit(std::uint8_t byte)
{
    return byte >= '0' && byte <= '9';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size != std::size_t(VersionReply::Size))
        return 0;
    const VersionReply reply = VersionReply::fromBytes(reinterpret_cast<const char *>(data));

    const bool threeDigits = isDigit(data[4]) && isDigit(data[5]) && isDigit(data[6]);
    const bool tagged = data[2] == 'K' && data[3] == 'B';
    const bool expected = tagged && threeDigits && data[4] != '0';
    fuzzCheck(reply.isAccepted() == expected, "acceptance differs from tag KB and version 100-999");
    fuzzCheck(reply.tag == QString::fromLatin1(reinterpret_cast<const char *>(data) + 2, 2),
              "tag is not bytes 2 and 3");
    if (threeDigits) {
        const int number = (data[4] - '0') * 100 + (data[5] - '0') * 10 + (data[6] - '0');
        fuzzCheck(reply.version == number, "version is not the three digits");
    }
    fuzzCheck(reply.version >= -99 && reply.version <= 999, "version outside what three characters hold");
    return 0;
}
