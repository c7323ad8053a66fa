// The station as a production line runs it, through the real program: eight
// paced instruments written in auto mode against one written alone by the
// flasher, the station's CPU per writing slot and with sixteen idle slots,
// how soon an instrument put in is written, and the station's memory over
// a thousand writes in sixteen slots. Prints figures; a wrong write stops
// it with exit code 1.
#include "SimInstrument.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

constexpr int Fleet = 8;
constexpr int Idle = 16;
constexpr int Blocks = 1008;
// CPU time is counted in ticks of 10 ms: over 30 s, steps of 0.03 %.
constexpr auto IdleSpan = 30s;
constexpr auto Poll = 5ms;
// As a 57600-baud line with the instrument's block write and erase.
const QStringList Paced {"--baud", "57600", "--block-ms", "2", "--erase-ms", "50"};

[[noreturn]] void fail(const QString &why)
{
    std::fprintf(stderr, "bench_station: %s\n", qPrintable(why));
    std::exit(1);
}

using Sims = std::vector<std::unique_ptr<SimInstrument>>;

Sims startSims(int count, const QStringList &arguments, QStringList *paths)
{
    Sims sims;
    for (int i = 0; i < count; ++i) {
        sims.push_back(std::make_unique<SimInstrument>(arguments));
        if (!sims.back()->start())
            fail(QStringLiteral("a simulated instrument did not start"));
        *paths << sims.back()->devicePath();
    }
    return sims;
}

int reportValue(const SimInstrument &sim, const char *key)
{
    return sim.report().value(QString::fromLatin1(key)).toInt();
}

// Of a running process, from /proc: CPU seconds and resident KiB.
double cpuSecondsOf(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    // utime and stime are fields 14 and 15, the 12th and 13th after the name.
    return double(fields.value(11).toLongLong() + fields.value(12).toLongLong()) / double(sysconf(_SC_CLK_TCK));
}

long residentKiB(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return 0;
}

struct Program
{
    QProcess process;

    void start(const QString &executable, const QStringList &arguments, const QString &ports, const QString &home)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("ZIRBELWERK_PORTS"), ports);
        environment.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/share"));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
        process.setProcessEnvironment(environment);
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setStandardErrorFile(QProcess::nullDevice());
        process.start(executable, arguments);
        if (!process.waitForStarted())
            fail(executable + QStringLiteral(" did not start"));
    }
    // The station ends on a stop signal while nothing is written.
    void stop()
    {
        ::kill(pid_t(process.processId()), SIGTERM);
        if (!process.waitForFinished(10000) || process.exitCode() != 0)
            fail(QStringLiteral("the station did not end with status 0"));
    }
    qint64 pid() const { return process.processId(); }
};

template<typename Done>
double secondsUntil(const QElapsedTimer &clock, Done done, std::chrono::seconds limit = 300s)
{
    while (!done()) {
        if (clock.hasExpired(std::chrono::milliseconds(limit).count()))
            fail(QStringLiteral("timed out"));
        std::this_thread::sleep_for(Poll);
    }
    return double(clock.elapsed()) / 1e3;
}

void verifyWritten(const Sims &sims, const QByteArray &expected)
{
    for (const auto &sim : sims) {
        if (!sim->waitForWrites(1, 10s) || reportValue(*sim, "blocks") != Blocks || !sim->violations().isEmpty()
            || sim->memory() != expected)
            fail(QStringLiteral("an instrument was not written whole and byte-exact"));
    }
}

// One instrument, the flasher's --port, process start to exit; its memory
// is what every station write must match.
double writeAlone(const QString &home, QByteArray *memory)
{
    QStringList paths;
    Sims sims = startSims(1, Paced, &paths);
    Program flasher;
    QElapsedTimer clock;
    clock.start();
    flasher.start(QStringLiteral(ZW_FLASH_EXECUTABLE), {"--port", paths.first(), QStringLiteral(ZW_HEX_FILE)},
                  paths.first(), home);
    if (!flasher.process.waitForFinished(300000) || flasher.process.exitCode() != 0)
        fail(QStringLiteral("the flasher did not write"));
    const double wall = double(clock.elapsed()) / 1e3;
    if (!sims[0]->waitForWrites(1, 10s))
        fail(QStringLiteral("the flasher's instrument was not written"));
    *memory = sims[0]->memory();
    return wall;
}

struct FleetRun
{
    double wall = 0;
    double cpu = 0;
    // From the moment every instrument has its first block to the last write's end.
    double writingWall = 0;
    double writingCpu = 0;
};

FleetRun writeFleet(const QString &home, const QByteArray &expected)
{
    QStringList paths;
    Sims sims = startSims(Fleet, Paced, &paths);
    Program station;
    QElapsedTimer clock;
    clock.start();
    station.start(QStringLiteral(ZW_STATION_EXECUTABLE), {"--auto", QStringLiteral(ZW_HEX_FILE)},
                  paths.join(QLatin1Char(':')), home);
    FleetRun run;
    const double allWriting = secondsUntil(clock, [&] {
        return std::all_of(sims.begin(), sims.end(), [](const auto &sim) { return reportValue(*sim, "blocks") >= 1; });
    });
    const double cpuBefore = cpuSecondsOf(station.pid());
    run.wall = secondsUntil(clock, [&] {
        return std::all_of(sims.begin(), sims.end(), [](const auto &sim) { return reportValue(*sim, "writes") >= 1; });
    });
    run.cpu = cpuSecondsOf(station.pid());
    run.writingWall = run.wall - allWriting;
    run.writingCpu = run.cpu - cpuBefore;
    verifyWritten(sims, expected);
    station.stop();
    return run;
}

// CPU over IdleSpan with sixteen slots whose instruments never answer, or
// (absent) whose devices are not there.
double idleCpuPercent(const QString &home, bool absent)
{
    QStringList paths;
    QTemporaryDir nowhere;
    Sims sims;
    if (absent) {
        for (int i = 0; i < Idle; ++i)
            paths << nowhere.filePath(QStringLiteral("slot%1").arg(i));
    } else {
        sims = startSims(Idle, {"--no-answer"}, &paths);
    }
    Program station;
    station.start(QStringLiteral(ZW_STATION_EXECUTABLE), {"--auto", QStringLiteral(ZW_HEX_FILE)},
                  paths.join(QLatin1Char(':')), home);
    std::this_thread::sleep_for(2s);
    const double before = cpuSecondsOf(station.pid());
    std::this_thread::sleep_for(IdleSpan);
    const double spent = cpuSecondsOf(station.pid()) - before;
    station.stop();
    return spent / std::chrono::duration<double>(IdleSpan).count() * 100;
}

struct SwapRun
{
    double worstLatency = 0;
    double medianLatency = 0;
};

// Instrument after instrument in one slot, as an operator swaps them: from
// each one's first answer to its first block, and the station's memory.
SwapRun swapMany(const QString &home, int swaps)
{
    QTemporaryDir links;
    const QString link = links.filePath(QStringLiteral("slot"));
    Program station;
    station.start(QStringLiteral(ZW_STATION_EXECUTABLE),
                  {"--auto", "--rearm-after", "1", QStringLiteral(ZW_SMALL_HEX_FILE)}, link, home);
    std::this_thread::sleep_for(1s);
    std::vector<double> latencies;
    SwapRun run;
    for (int i = 0; i < swaps; ++i) {
        SimInstrument sim({"--erase-ms", "0", "--link", link});
        if (!sim.start())
            fail(QStringLiteral("a simulated instrument did not start"));
        QElapsedTimer clock;
        clock.start();
        const double answered = secondsUntil(clock, [&] { return reportValue(sim, "queries") >= 1; }, 10s);
        const double writing = secondsUntil(clock, [&] { return reportValue(sim, "blocks") >= 1; }, 10s);
        latencies.push_back(writing - answered);
        if (!sim.waitForWrites(1, 10s))
            fail(QStringLiteral("a swapped instrument was not written"));
        sim.stop();
        // Silent for the re-arm time: the next one is new.
        std::this_thread::sleep_for(2100ms);
    }
    station.stop();
    std::sort(latencies.begin(), latencies.end());
    run.worstLatency = latencies.back();
    run.medianLatency = latencies[latencies.size() / 2];
    return run;
}

// One slot of the memory run: an unpaced instrument behind a link, taken
// out once written and, after the re-arm time, a new one put in.
struct QuickSlot
{
    QString link;
    std::unique_ptr<SimInstrument> sim;
    QElapsedTimer silent;

    void putIn()
    {
        sim = std::make_unique<SimInstrument>(QStringList {"--erase-ms", "0", "--link", link});
        if (!sim->start())
            fail(QStringLiteral("a simulated instrument did not start"));
    }
    // True once the instrument in it was written and taken out.
    bool takeOutWritten()
    {
        if (!sim || reportValue(*sim, "writes") < 1)
            return false;
        if (!sim->violations().isEmpty() || reportValue(*sim, "end_marker") < 1)
            fail(QStringLiteral("a quick instrument was not written whole"));
        sim->stop();
        sim.reset();
        silent.start();
        return true;
    }
};

struct MemoryRun
{
    long earlyKiB = 0;
    long lastKiB = 0;
    int early = 0;
    double seconds = 0;
};

// Sixteen slots, writes of small.hex until `writes` are in: the station's
// resident memory after the first tenth of them and at the end.
MemoryRun writeMany(const QString &home, int writes)
{
    QTemporaryDir links;
    std::vector<QuickSlot> fixture(Idle);
    QStringList paths;
    for (int i = 0; i < Idle; ++i) {
        fixture[size_t(i)].link = links.filePath(QStringLiteral("slot%1").arg(i));
        paths << fixture[size_t(i)].link;
    }
    Program station;
    station.start(QStringLiteral(ZW_STATION_EXECUTABLE),
                  {"--auto", "--rearm-after", "1", QStringLiteral(ZW_SMALL_HEX_FILE)}, paths.join(QLatin1Char(':')),
                  home);
    std::this_thread::sleep_for(1s);
    for (QuickSlot &slot : fixture)
        slot.putIn();
    MemoryRun run;
    run.early = std::max(1, writes / 10);
    QElapsedTimer clock;
    clock.start();
    int done = 0;
    while (done < writes) {
        for (QuickSlot &slot : fixture) {
            done += slot.takeOutWritten() ? 1 : 0;
            // Silent for the re-arm time: the next one is new.
            if (!slot.sim && slot.silent.hasExpired(2100) && done < writes)
                slot.putIn();
        }
        if (done >= run.early && run.earlyKiB == 0)
            run.earlyKiB = residentKiB(station.pid());
        if (clock.hasExpired(1800000))
            fail(QStringLiteral("the memory run timed out"));
        std::this_thread::sleep_for(20ms);
    }
    run.seconds = double(clock.elapsed()) / 1e3;
    // The station has recorded every write: its memory at rest.
    std::this_thread::sleep_for(3s);
    run.lastKiB = residentKiB(station.pid());
    fixture.clear();
    station.stop();
    return run;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const int runs = argc > 1 ? std::atoi(argv[1]) : 3;
    const int swaps = argc > 2 ? std::atoi(argv[2]) : 30;
    const int writes = argc > 3 ? std::atoi(argv[3]) : 1000;
    QTemporaryDir home;
    std::printf("%-40s %8s %10s\n", "", "wall s", "CPU %/slot");
    for (int i = 0; i < runs; ++i) {
        std::fprintf(stderr, "run %d of %d\n", i + 1, runs);
        QByteArray image;
        const double alone = writeAlone(home.path(), &image);
        const FleetRun fleet = writeFleet(home.path(), image);
        std::printf("%-40s %8.3f\n", "one instrument, flasher --port", alone);
        std::printf("%-40s %8.3f %10.2f   x%.3f of one\n", "eight instruments, station auto", fleet.wall,
                    fleet.cpu / fleet.wall / Fleet * 100, fleet.wall / alone);
        std::printf("%-40s %8.3f %10.2f\n", "  of which all eight writing", fleet.writingWall,
                    fleet.writingCpu / fleet.writingWall / Fleet * 100);
    }
    std::printf("%-40s %19.2f\n", "sixteen idle slots, CPU %", idleCpuPercent(home.path(), false));
    std::printf("%-40s %19.2f\n", "sixteen slots without device, CPU %", idleCpuPercent(home.path(), true));
    if (swaps > 0) {
        const SwapRun swap = swapMany(home.path(), swaps);
        std::printf("%-40s median %.3f s, worst %.3f s\n", "answer -> first block, one slot", swap.medianLatency,
                    swap.worstLatency);
    }
    if (writes <= 0)
        return 0;
    const MemoryRun memory = writeMany(home.path(), writes);
    std::printf("%-40s %ld KiB after %d writes, %ld KiB after %d (%+ld KiB, %.0f s)\n",
                "station resident memory, 16 slots", memory.earlyKiB, memory.early, memory.lastKiB, writes,
                memory.lastKiB - memory.earlyKiB, memory.seconds);
    return 0;
}
