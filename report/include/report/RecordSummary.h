#pragma once

#include "report/LocalDays.h"
#include "report/RecordLine.h"

#include <QDate>
#include <QList>
#include <QMap>
#include <QString>

#include <initializer_list>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

// The figures of a report, summed line by line: only these and the last
// failures reach the page, however long the record.
class RecordSummary
{
public:
    static constexpr int LastFailureCount = 50;
    // Write seconds are counted in tenths.
    static constexpr int SecondsPerBin = 10;

    struct Tally
    {
        qint64 written = 0;
        qint64 failed = 0; // failed or interrupted: not written
        qint64 total() const { return written + failed; }
        double yield() const { return total() ? double(written) / double(total()) : 0.0; }
    };
    struct Named
    {
        QString name;
        Tally tally;
    };
    struct Count
    {
        QString name;
        qint64 count = 0;
    };
    struct Firmware
    {
        QString file; // file name without its folder
        QString sha256;
        int blocks = 0;
        Tally tally;
        QMap<int, qint64> failedAtBlock; // block 1 ... blocks
    };
    struct PortSeconds
    {
        QString name;
        qint64 writes = 0;
        std::map<int, qint64> tenths; // a write's tenths of a second, how often
    };
    struct Failure
    {
        qint64 utcMs = 0;
        QString station;
        QString port;
        QString file;
        QString code;
        int block = 0;
        int blocks = 0;
    };

    void add(const RecordLine &line);

    const Tally &total() const { return sum; }
    const QMap<QDate, Tally> &days() const { return perDay; }
    qint64 firstMs() const { return first; }
    qint64 lastMs() const { return last; }
    // Most attempts first.
    QList<Named> stations() const;
    QList<Firmware> firmwares() const;
    QList<Count> reasons() const;
    QList<Count> versionsBefore() const;
    // Each port with its adapter; with several stations, the station too.
    QList<PortSeconds> portSeconds() const;
    // Newest first.
    QList<Failure> lastFailures() const;

private:
    struct FirmwareSum
    {
        Tally tally;
        int blocks = 0;
        std::vector<qint64> failedAtBlock;
    };
    struct PortSum
    {
        std::string station;
        std::string port;
        std::string adapter;
        qint64 writes = 0;
        std::map<int, qint64> tenths;
    };

    void addFailure(const RecordLine &line);
    void addSeconds(const RecordLine &line);
    void keepFailure(const RecordLine &line);
    static void count(Tally &tally, bool written);
    const std::string &keyOf(std::initializer_list<QByteArrayView> parts);

    Tally sum;
    qint64 first = 0;
    qint64 last = 0;
    QMap<QDate, Tally> perDay;
    LocalDays localDays;
    std::unordered_map<std::string, Tally> perStation;
    std::unordered_map<std::string, FirmwareSum> perFirmware;
    std::unordered_map<std::string, qint64> perReason;
    std::unordered_map<std::string, qint64> perVersion;
    std::unordered_map<std::string, PortSum> perPort;
    std::vector<Failure> failures; // oldest of them first
    std::string key;
};
