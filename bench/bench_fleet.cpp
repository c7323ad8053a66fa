// Several instruments at once through the flasher: eight paced instruments
// written with --all against one written alone, in the same run, and again
// while another process holds the record's lock; and one --all search pass
// over fifty names. Prints figures; a wrong write stops it with exit code 1.
#include "SimInstrument.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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

using Sims = std::vector<std::unique_ptr<SimInstrument>>;

struct Run
{
    double wall = 0;
    double cpu = 0;     // the flasher's alone: the simulators are reaped later
    double written = 0; // until every watched instrument had its write
    int exitCode = -1;
};

bool allWritten(const Sims &sims)
{
    return std::all_of(sims.begin(), sims.end(), [](const auto &sim) {
        return sim->report().value(QStringLiteral("writes")).toInt() >= 1;
    });
}

Run runFlasher(const QStringList &arguments, const QStringList &ports, const QString &dataHome,
               const Sims &watched = {})
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
    double written = 0;
    while (!flasher.waitForFinished(10)) {
        if (written == 0 && !watched.empty() && allWritten(watched))
            written = double(clock.elapsed()) / 1e3;
        if (clock.hasExpired(300000))
            fail(QStringLiteral("the flasher did not end"));
    }
    const double wall = double(clock.elapsed()) / 1e3;
    return {wall, childCpuSeconds() - cpuBefore, written > 0 ? written : wall, flasher.exitCode()};
}

// Another program's lock on the record, for as long as it lives.
struct RecordLock
{
    int fd = -1;
    explicit RecordLock(const QString &dataHome)
    {
        const QString folder = dataHome + QStringLiteral("/zirbelwerk");
        ::mkdir(QFile::encodeName(folder).constData(), 0755);
        fd = ::open(QFile::encodeName(folder + QStringLiteral("/flash-record.jsonl")).constData(), O_RDWR | O_CREAT, 0644);
        if (fd < 0 || ::flock(fd, LOCK_EX) != 0)
            fail(QStringLiteral("the record could not be locked"));
    }
    ~RecordLock() { ::close(fd); }
};

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

Run writeFleet(const QString &dataHome, bool recordLocked = false)
{
    QStringList paths;
    auto sims = startSims(Fleet, Paced, &paths);
    std::unique_ptr<RecordLock> lock;
    if (recordLocked)
        lock = std::make_unique<RecordLock>(dataHome);
    const Run run = runFlasher({"--all", QStringLiteral(ZW_HEX_FILE)}, paths, dataHome, sims);
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
    std::printf("%-34s %8s %8s %10s %9s\n", "", "wall s", "CPU ms", "CPU %/inst", "written s");
    for (int i = 0; i < runs; ++i) {
        std::fprintf(stderr, "run %d of %d\n", i + 1, runs);
        const Run alone = writeAlone(dataHome.path());
        const Run fleet = writeFleet(dataHome.path());
        const Run locked = writeFleet(dataHome.path(), true);
        const Run search = searchPass(dataHome.path());
        std::printf("%-34s %8.3f %8.1f %10.2f\n", "one instrument (--port)", alone.wall, alone.cpu * 1e3,
                    alone.cpu / alone.wall * 100);
        std::printf("%-34s %8.3f %8.1f %10.2f %9.3f   x%.3f of one\n", "eight instruments (--all)", fleet.wall,
                    fleet.cpu * 1e3, fleet.cpu / fleet.wall / Fleet * 100, fleet.written, fleet.wall / alone.wall);
        std::printf("%-34s %8.3f %8.1f %10.2f %9.3f   written x%.3f of unlocked\n", "eight, record lock held",
                    locked.wall, locked.cpu * 1e3, locked.cpu / locked.wall / Fleet * 100, locked.written,
                    locked.written / fleet.written);
        std::printf("%-34s %8.3f %8.1f\n", "--all search over 50 names", search.wall, search.cpu * 1e3);
    }
    return 0;
}
