#include "report/RecordSummary.h"

#include <algorithm>

namespace {

constexpr char Separator = '\x1f';
// More blocks than any firmware has: a line that claims them is garbled.
constexpr int MostBlocks = 1 << 16;
constexpr int LongestTenths = 36000;

QString text(const std::string &utf8)
{
    return QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
}

QString text(QByteArrayView utf8)
{
    return QString::fromUtf8(utf8);
}

// The key's parts, as keyOf joined them.
QStringList partsOf(const std::string &key)
{
    return text(key).split(QLatin1Char(Separator));
}

QString fileName(QByteArrayView path)
{
    const QString whole = text(path);
    const qsizetype slash = std::max(whole.lastIndexOf(QLatin1Char('/')), whole.lastIndexOf(QLatin1Char('\\')));
    return whole.mid(slash + 1);
}

QString stationName(const QString &host, const QString &station)
{
    return station.isEmpty() ? host : host + QStringLiteral(" / ") + station;
}

template <typename T>
void sortByCount(QList<T> &list, qint64 (*countOf)(const T &))
{
    std::stable_sort(list.begin(), list.end(), [countOf](const T &a, const T &b) {
        return countOf(a) != countOf(b) ? countOf(a) > countOf(b) : a.name < b.name;
    });
}

QList<RecordSummary::Count> counts(const std::unordered_map<std::string, qint64> &map)
{
    QList<RecordSummary::Count> list;
    for (const auto &[name, count] : map)
        list.append({text(name), count});
    sortByCount<RecordSummary::Count>(list, [](const RecordSummary::Count &c) { return c.count; });
    return list;
}

} // namespace

const std::string &RecordSummary::keyOf(std::initializer_list<QByteArrayView> parts)
{
    key.clear();
    bool leading = true;
    for (const QByteArrayView part : parts) {
        if (!leading)
            key += Separator;
        leading = false;
        key.append(part.data(), size_t(part.size()));
    }
    return key;
}

void RecordSummary::count(Tally &tally, bool written)
{
    (written ? tally.written : tally.failed) += 1;
}

void RecordSummary::add(const RecordLine &line)
{
    const bool written = line.result == QByteArrayView("written");
    if (sum.total() == 0 || line.utcMs < first)
        first = line.utcMs;
    if (sum.total() == 0 || line.utcMs > last)
        last = line.utcMs;
    count(sum, written);
    count(perDay[localDays.dayOf(line.utcMs)], written);
    count(perStation[keyOf({line.host, line.station})], written);
    FirmwareSum &firmware = perFirmware[keyOf({line.fileSha256, line.file})];
    count(firmware.tally, written);
    if (line.blocks > 0 && line.blocks <= MostBlocks)
        firmware.blocks = std::max(firmware.blocks, line.blocks);
    ++perVersion[keyOf({line.firmwareBefore})];
    if (written)
        addSeconds(line);
    else
        addFailure(line);
}

void RecordSummary::addSeconds(const RecordLine &line)
{
    if (line.seconds < 0)
        return;
    const QByteArrayView adapter = line.usbDescription.isEmpty() ? line.usbVid : line.usbDescription;
    PortSum &port = perPort[keyOf({line.host, line.station, line.port, adapter})];
    if (port.writes == 0) {
        port.station = std::string(keyOf({line.host, line.station}));
        port.port = std::string(line.port.data(), size_t(line.port.size()));
        port.adapter = std::string(adapter.data(), size_t(adapter.size()));
    }
    ++port.writes;
    ++port.tenths[int(std::min<double>(line.seconds * SecondsPerBin, LongestTenths))];
}

void RecordSummary::addFailure(const RecordLine &line)
{
    ++perReason[keyOf({line.failure})];
    FirmwareSum &firmware = perFirmware[keyOf({line.fileSha256, line.file})];
    if (line.block > 0 && line.block <= MostBlocks) {
        if (firmware.failedAtBlock.size() <= size_t(line.block))
            firmware.failedAtBlock.resize(size_t(line.block) + 1);
        ++firmware.failedAtBlock[size_t(line.block)];
    }
    keepFailure(line);
}

// Records of several stations come one after the other, not in time order.
void RecordSummary::keepFailure(const RecordLine &line)
{
    const bool full = failures.size() >= size_t(LastFailureCount);
    if (full && line.utcMs < failures.front().utcMs)
        return;
    const QString host = text(line.host);
    Failure failure {line.utcMs, stationName(host, text(line.station)), text(line.port), fileName(line.file),
                     text(line.failure), std::max(line.block, 0), std::max(line.blocks, 0)};
    const auto at = std::upper_bound(failures.begin(), failures.end(), line.utcMs,
                                     [](qint64 ms, const Failure &f) { return ms < f.utcMs; });
    failures.insert(at, std::move(failure));
    if (failures.size() > size_t(LastFailureCount))
        failures.erase(failures.begin());
}

QList<RecordSummary::Named> RecordSummary::stations() const
{
    QList<Named> list;
    for (const auto &[name, tally] : perStation) {
        const QStringList parts = partsOf(name);
        list.append({stationName(parts.value(0), parts.value(1)), tally});
    }
    sortByCount<Named>(list, [](const Named &n) { return n.tally.total(); });
    return list;
}

QList<RecordSummary::Firmware> RecordSummary::firmwares() const
{
    QList<Firmware> list;
    for (const auto &[name, sum] : perFirmware) {
        const QStringList parts = partsOf(name);
        Firmware firmware {fileName(parts.value(1).toUtf8()), parts.value(0), sum.blocks, sum.tally, {}};
        for (size_t block = 1; block < sum.failedAtBlock.size(); ++block)
            if (sum.failedAtBlock[block] > 0)
                firmware.failedAtBlock.insert(int(block), sum.failedAtBlock[block]);
        list.append(firmware);
    }
    std::stable_sort(list.begin(), list.end(), [](const Firmware &a, const Firmware &b) {
        return a.tally.total() != b.tally.total() ? a.tally.total() > b.tally.total() : a.file < b.file;
    });
    return list;
}

QList<RecordSummary::Count> RecordSummary::reasons() const
{
    return counts(perReason);
}

QList<RecordSummary::Count> RecordSummary::versionsBefore() const
{
    return counts(perVersion);
}

QList<RecordSummary::PortSeconds> RecordSummary::portSeconds() const
{
    const bool severalStations = perStation.size() > 1;
    QList<PortSeconds> list;
    for (const auto &[key, sum] : perPort) {
        const QStringList station = partsOf(sum.station);
        QString name = text(sum.port);
        if (!sum.adapter.empty())
            name += QStringLiteral(" (") + text(sum.adapter) + QLatin1Char(')');
        if (severalStations)
            name = stationName(station.value(0), station.value(1)) + QStringLiteral(": ") + name;
        list.append({name, sum.writes, sum.tenths});
    }
    sortByCount<PortSeconds>(list, [](const PortSeconds &p) { return p.writes; });
    return list;
}

QList<RecordSummary::Failure> RecordSummary::lastFailures() const
{
    return QList<Failure>(failures.rbegin(), failures.rend());
}
