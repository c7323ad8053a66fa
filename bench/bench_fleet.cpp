// Several instruments at once through the flasher: eight paced instruments
// written with --all against one written alone, in the same run; and one
// --all search pass over fifty names. Prints figures; a wrong write stops
// it with exit code 1.
#include "SimInstrument.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

using namespace std::chrono_literals;

namespace {

constexpr int Fleet = 8;
constexpr int Blocks = 1008;
constexpr int Names = 50;
constexpr int Answering = 2;
constexpr int Silent = 10;
// As a 57600-baud line with the instrument's block write and erase.
const QStringList Paced {"--baud", "57600", "--block-ms", "2", "--erase-ms", "50"};

[[noreturn]] void fail(const QString &why)
{
    std::fprintf(stderr, "bench_fleet: %s\n", qPrintable(why));
    std::exit(1);
}

double childCpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_CHILDREN, &usage);
    const auto seconds = [](const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct Run
{
    double wall = 0;
    double cpu = 0; // the flasher's alone: the simulators are reaped later
    int exitCode = -1;
};

Run runFlasher(const QStringList &arguments, const QStringList &ports, const QString &dataHome)
{
    QProcess flasher;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ZIRBELWERK_PORTS"), ports.join(QLatin1Char(':')));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
    flasher.setProcessEnvironment(environment);
    flasher.setStandardOutputFile(QProcess::nullDevice());
    flasher.setStandardErrorFile(QProcess::nullDevice());
    const double cpuBefore = childCpuSeconds();
    QElapsedTimer clock;
    clock.start();
    flasher.start(QStringLiteral(ZW_FLASH_EXECUTABLE), arguments);
    if (!flasher.waitForFinished(300000))
        fail(QStringLiteral("the flasher did not end"));
    return {double(clock.elapsed()) / 1e3, childCpuSeconds() - cpuBefore, flasher.exitCode()};
}

std::vector<std::unique_ptr<SimInstrument>> startSims(int count, const QStringList &arguments, QStringList *paths)
{
    std::vector<std::unique_ptr<SimInstrument>> sims;
    for (int i = 0; i < count; ++i) {
        sims.push_back(std::make_unique<SimInstrument>(arguments));
        if (!sims.back()->start())
            fail(QStringLiteral("a simulated instrument did not start"));
        *paths << sims.back()->devicePath();
    }
    return sims;
}

void verifyWritten(const std::vector<std::unique_ptr<SimInstrument>> &sims)
{
    for (const auto &sim : sims) {
        if (!sim->waitForWrites(1, 10s) || sim->report().value(QStringLiteral("blocks")).toInt() != Blocks
            || !sim->violations().isEmpty())
            fail(QStringLiteral("an instrument was not written whole"));
    }
}

Run writeAlone(const QString &dataHome)
{
    QStringList paths;
    auto sims = startSims(1, Paced, &paths);
    const Run run = runFlasher({"--port", paths.first(), QStringLiteral(ZW_HEX_FILE)}, paths, dataHome);
    verifyWritten(sims);
    return run;
}

Run writeFleet(const QString &dataHome)
{
    QStringList paths;
    auto sims = startSims(Fleet, Paced, &paths);
    const Run run = runFlasher({"--all", QStringLiteral(ZW_HEX_FILE)}, paths, dataHome);
    verifyWritten(sims);
    return run;
}

// Two instruments, silent ones, and names without a device.
Run searchPass(const QString &dataHome)
{
    QStringList paths;
    auto answering = startSims(Answering, {}, &paths);
    auto silent = startSims(Silent, {"--no-answer"}, &paths);
    for (int i = int(paths.size()); i < Names; ++i)
        paths << QStringLiteral("/dev/zirbelwerk-bench-missing-%1").arg(i);
    const Run run = runFlasher({"--info", "--all"}, paths, dataHome);
    if (run.exitCode != 0)
        fail(QStringLiteral("the search found nothing"));
    return run;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const int runs = argc > 1 ? std::atoi(argv[1]) : 3;
    QTemporaryDir dataHome;
    std::printf("%-34s %8s %8s %10s\n", "", "wall s", "CPU ms", "CPU %/inst");
    for (int i = 0; i < runs; ++i) {
        std::fprintf(stderr, "run %d of %d\n", i + 1, runs);
        const Run alone = writeAlone(dataHome.path());
        const Run fleet = writeFleet(dataHome.path());
        const Run search = searchPass(dataHome.path());
        std::printf("%-34s %8.3f %8.1f %10.2f\n", "one instrument (--port)", alone.wall, alone.cpu * 1e3,
                    alone.cpu / alone.wall * 100);
        std::printf("%-34s %8.3f %8.1f %10.2f   x%.3f of one\n", "eight instruments (--all)", fleet.wall,
                    fleet.cpu * 1e3, fleet.cpu / fleet.wall / Fleet * 100, fleet.wall / alone.wall);
        std::printf("%-34s %8.3f %8.1f\n", "--all search over 50 names", search.wall, search.cpu * 1e3);
    }
    return 0;
}
