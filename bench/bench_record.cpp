// The look-up behind the hint after a silent port, "did the last write to
// this device end unfinished?", in a record of a year of production (50 MB),
// against reading the whole record as it used to be read.
#include "device/FlashRecordFacts.h"
#include "record/FlashRecord.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr qint64 RecordBytes = 50 * 1024 * 1024;
constexpr int Runs = 21;
constexpr int Ports = 8;

QString portDevice(int i)
{
    return QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A5%1-if00-port0").arg(i, 4, 10, QLatin1Char('0'));
}

// Eight fixture ports taking turns, every tenth write failed; one device
// written once, at the start, and never again.
qint64 writeRecord(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return 0;
    FlashRecordFacts facts;
    facts.program = QString::fromLatin1(FlashRecord::ProgramFlasher);
    facts.file = QStringLiteral("/srv/firmware/instrument-v2.17.hex");
    facts.device = QStringLiteral("/dev/ttyUSB-once");
    file.write(QJsonDocument(facts.entry()).toJson(QJsonDocument::Compact) + '\n');
    for (int i = 0; file.size() < RecordBytes; ++i) {
        facts.port = QStringLiteral("COM%1").arg(i % Ports + 1);
        facts.device = portDevice(i % Ports);
        facts.outcome = i % 10 == 3 ? FlashOutcome(FlashOutcome::Failure::NoReply, true, 301, 1008) : FlashOutcome();
        file.write(QJsonDocument(facts.entry()).toJson(QJsonDocument::Compact) + '\n');
    }
    return file.size();
}

// Every line parsed, front to back, as the record was read before.
bool wholeRead(const QString &path, const QString &device)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QString last;
    while (!file.atEnd()) {
        const QJsonObject entry = QJsonDocument::fromJson(file.readLine()).object();
        if (entry.value(QStringLiteral("device")).toString() == device)
            last = entry.value(QStringLiteral("result")).toString();
    }
    return !last.isEmpty() && last != QLatin1String("written");
}

template <typename LookUp>
double medianMs(LookUp lookUp, int runs)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer clock;
        clock.start();
        lookUp();
        times.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main()
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("flash-record.jsonl"));
    const qint64 size = writeRecord(path);
    if (size < RecordBytes) {
        std::fputs("bench_record: the record could not be written\n", stderr);
        return 1;
    }
    FlashRecord record(path);
    std::printf("record %.1f MB, median of %d runs (file in the page cache)\n", double(size) / 1e6, Runs);
    std::printf("%-44s %10s\n", "", "ms");
    bool sink = false;
    const struct
    {
        const char *name;
        QString device;
    } cases[] = {{"fixture port, last line near the end", portDevice(3)},
                 {"device written once, 50 MB back", QStringLiteral("/dev/ttyUSB-once")},
                 {"device never written", QStringLiteral("/dev/ttyACM9")}};
    for (const auto &c : cases)
        std::printf("%-44s %10.3f\n", c.name, medianMs([&] { sink ^= record.lastWriteUnfinished(c.device); }, Runs));
    std::printf("%-44s %10.3f\n", "whole record parsed (before), fixture port",
                medianMs([&] { sink ^= wholeRead(path, portDevice(3)); }, 3));
    return sink ? 0 : 0;
}
