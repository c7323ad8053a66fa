#include "ReferenceHexDecoder.h"

#include <algorithm>
#include <cctype>
#include <numeric>
#include <sstream>

namespace {

constexpr int Header = 4; // count, address high, address low, type

bool decodePairs(const std::string &digits, std::vector<int> &bytes)
{
    if (digits.size() % 2 != 0)
        return false;
    for (char c : digits) {
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
    }
    for (std::size_t i = 0; i < digits.size(); i += 2)
        bytes.push_back(std::stoi(digits.substr(i, 2), nullptr, 16));
    return true;
}

} // namespace

ReferenceHexDecoder::ReferenceHexDecoder(const FirmwareImage &start)
    : start(start)
{
}

void ReferenceHexDecoder::overlay(FirmwareImage &cells) const
{
    for (const Store &store : stores)
        cells.at(std::size_t(store.address)) = store.value;
}

void ReferenceHexDecoder::decode(const QByteArray &text)
{
    std::string content(text.constData(), std::size_t(text.size()));
    if (content.rfind("\xEF\xBB\xBF", 0) == 0)
        content.erase(0, 3);
    std::istringstream words(content);
    std::string word;
    while (words >> word) {
        if (!take(word))
            return;
    }
    isAccepted = stored && signatureInPlace() && highest <= 0xFBFF;
}

bool ReferenceHexDecoder::take(const std::string &word)
{
    if (word[0] != ':')
        return true;
    std::vector<int> bytes;
    if (!decodePairs(word.substr(1), bytes) || bytes.size() < Header + 1)
        return false;
    const int count = bytes[0];
    if (int(bytes.size()) != Header + count + 1)
        return false;
    if (std::accumulate(bytes.begin(), bytes.end(), 0) % 256 != 0)
        return false;
    const int type = bytes[3];
    if (type == 0)
        return takeData(bytes);
    if (type != 2 && type != 4)
        return true;
    if (count != 2)
        return false;
    (type == 4 ? linearBase : segmentBase) = bytes[4] * 256 + bytes[5];
    return true;
}

bool ReferenceHexDecoder::takeData(const std::vector<int> &bytes)
{
    if (linearBase != 0)
        return true;
    const int count = bytes[0];
    const int address = bytes[1] * 256 + bytes[2];
    if (segmentBase != 0)
        return segmentBase * 16 + address >= 0x10000;
    if (count == 0) { // stores nothing and leaves the end where it is
        highest = stored ? highest : -1;
        stored = true;
        return true;
    }
    const int last = address + count - 1;
    if (last >= FirmwareCellCount)
        return false;
    for (int j = 0; j < count; ++j)
        stores.push_back({address + j, bytes[std::size_t(Header + j)]});
    highest = stored ? std::max(highest, last) : last;
    stored = true;
    return true;
}

qint32 ReferenceHexDecoder::cell(int address) const
{
    const auto last = std::find_if(stores.rbegin(), stores.rend(), [address](const Store &s) { return s.address == address; });
    return last != stores.rend() ? last->value : start.at(std::size_t(address));
}

bool ReferenceHexDecoder::signatureInPlace() const
{
    return cell(0x20) == 0x00 && cell(0x21) == 0xEF && cell(0x22) == 0x7E && cell(0x23) == 0xF0;
}
