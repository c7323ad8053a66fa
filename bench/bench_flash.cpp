// Writes the full firmware image (0x0000-0xFBFF, 1008 blocks) into the
// simulated instrument and prints median figures of several runs: with a
// bare blocking host on the raw port for comparison, with FlashWriter in
// this process, through the command-line flasher as a child process and,
// when built with it, from the real window on Qt's offscreen platform.
//
// Paced: the simulator paces both directions like a UART at 57600 baud,
// 10 bits a byte, and takes a known erase and block write time. The
// dialogue strictly alternates: a ready byte leaves only after the block
// before it is in and written, and the host sends a block only after its
// ready byte. The two directions never overlap, so the line's own limit is
// the sum of everything:
//     (host bytes + instrument bytes) x 10 / baud
//       + erase time + (blocks - 1) x block write time
// The last block's write time is not in it: the end marker follows that
// block at once, and nobody waits for the write. A write counts as done
// when the instrument has the end marker (its report says so), not when
// the loader has handed the last bytes to the driver.
//
// Unpaced: a bare pseudo-terminal without erase or block time; the CPU time
// per block is the loader's own cost.
//
// Each simulator reports the host's turnaround per block: from a ready
// byte handed to the pseudo-terminal until the block's first byte came out.
#include "device/FlashWriter.h"
#include "device/VersionReply.h"
#include "image/HexLoader.h"
#include "serial/Modem.h"
#include "SimInstrument.h"

#ifdef ZW_BENCH_WINDOW
#include "FileDialogAnswer.h"
#include "WindowProbe.h"

#include <QApplication>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTest>
#endif

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

constexpr int BaudRate = 57600;
constexpr int BitsPerByte = 10;
constexpr int AddressBytes = 2;
constexpr int EndMarkerBytes = 2;
constexpr double RatioTarget = 1.03;
constexpr double CpuShareTarget = 0.03;
// The window is held to the flasher's pace and a leaner CPU share.
constexpr double WindowCpuShareTarget = 0.015;
constexpr double WindowToFlasherTarget = 1.01;
constexpr double CpuPerBlockTargetUs = 300;
// The Windows flasher under Wine, its CPU counted with Wine's server's.
constexpr double WineRatioTarget = 1.05;
constexpr double WineCpuShareTarget = 0.02;
// Only against a stuck simulator: the instrument has the end marker a few
// milliseconds after the loader is done.
constexpr auto EndMarkerTimeout = 5s;
constexpr auto EndMarkerPoll = 200us;
// A paced write takes about 14 s; this only ends a hung flasher or window.
constexpr auto FlasherTimeout = 120s;
constexpr auto WindowSearchTimeout = 5s;
const char StartLine[] = "Flash schreiben starten";
const char DoneLine[] = "Flash neu beschrieben!";
const double Unknown = -1;

[[noreturn]] void fail(const QString &text)
{
    std::fprintf(stderr, "bench_flash: %s\n", qPrintable(text));
    std::exit(1);
}

void progress(const QString &text)
{
    std::fprintf(stderr, "%s\n", qPrintable(text));
    std::fflush(stderr);
}

double seconds(const timeval &time)
{
    return double(time.tv_sec) + double(time.tv_usec) / 1e6;
}

double cpuSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// CPU time of a running process, all its threads.
double processCpuSeconds(qint64 pid)
{
    clockid_t clock{};
    timespec time{};
    if (clock_getcpuclockid(pid_t(pid), &clock) != 0 || clock_gettime(clock, &time) != 0)
        return Unknown;
    return double(time.tv_sec) + double(time.tv_nsec) / 1e9;
}

// CPU time of any process, from /proc (wineserver is nobody's child here).
double procCpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (pid <= 0 || !stat.open(QIODevice::ReadOnly))
        return Unknown;
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return Unknown;
    return double(fields.at(11).toLongLong() + fields.at(12).toLongLong()) / double(::sysconf(_SC_CLK_TCK));
}

double secondsOf(const QElapsedTimer &clock)
{
    return double(clock.nsecsElapsed()) / 1e9;
}

struct Image
{
    std::unique_ptr<FirmwareImage> cells;
    qint32 length = 0;
    int blocks = 0;
    QByteArray bytes; // what the instrument must hold afterwards
};

Image loadImage()
{
    HexLoader loader(emptyFirmwareImage(), 0);
    if (!loader.loadFile(QStringLiteral(ZW_HEX_FILE)))
        fail(QStringLiteral("%1 not accepted: %2").arg(ZW_HEX_FILE, loader.errorString()));
    Image image;
    image.cells = std::make_unique<FirmwareImage>(loader.image());
    image.length = loader.imageLength();
    image.blocks = FlashWriter::blockTotalFor(image.length);
    for (int i = 0; i < image.blocks * FlashWriter::BlockSize; ++i)
        image.bytes.append(char((*image.cells)[size_t(i)] & 0xFF));
    return image;
}

struct Setup
{
    bool paced = true;
    int eraseMs = 50;
    int blockMs = 2;

    QStringList simArguments() const
    {
        QStringList arguments{QStringLiteral("--erase-ms"), QString::number(eraseMs),
                              QStringLiteral("--block-ms"), QString::number(blockMs)};
        if (paced)
            arguments << QStringLiteral("--baud") << QString::number(BaudRate);
        return arguments << QStringLiteral("--turnaround");
    }
};

qint64 hostBytes(int blocks)
{
    return qint64(qstrlen(FlashWriter::StartCommand))
        + qint64(blocks) * (AddressBytes + FlashWriter::BlockSize) + EndMarkerBytes;
}

// The time the line itself needs; extraBytes for anything said before the write.
double lineLimit(const Setup &setup, int blocks, qint64 extraBytes = 0)
{
    const double byteTime = double(BitsPerByte) / BaudRate;
    return double(hostBytes(blocks) + blocks + extraBytes) * byteTime + setup.eraseMs / 1e3
        + (blocks - 1) * setup.blockMs / 1e3;
}

// One write; seconds, counted from the loader's start.
struct Sample
{
    double loaderWall = 0; // until the loader itself is done
    double transfer = 0;   // until the instrument has the end marker
    double cpu = 0;        // the loader's CPU time over loaderWall
    double serverCpu = Unknown; // under Wine, the part of cpu that is Wine's server's
    double turnaroundUs = Unknown;    // median of the write's blocks
    double turnaroundP90Us = Unknown; // their 90th percentile
    double turnaroundMeanUs = Unknown;
};

void startSimulator(SimInstrument &sim)
{
    if (!sim.start())
        fail(QStringLiteral("the simulated instrument did not start"));
}

bool endMarkerSeen(const SimInstrument &sim)
{
    return sim.report().value(QStringLiteral("end_marker")) == QLatin1String("1");
}

double waitForEndMarker(const SimInstrument &sim, const QElapsedTimer &clock)
{
    const QDeadlineTimer deadline(EndMarkerTimeout);
    while (!endMarkerSeen(sim)) {
        if (deadline.hasExpired())
            fail(QStringLiteral("the instrument never received the end marker"));
        QThread::usleep(static_cast<unsigned long>(std::chrono::microseconds(EndMarkerPoll).count()));
    }
    return secondsOf(clock);
}

double reportedMicroseconds(const QMap<QString, QString> &report, const QString &key)
{
    bool ok = false;
    const double value = report.value(key).toDouble(&ok);
    return ok ? value : Unknown;
}

// A figure of a wrong write would be worthless.
void verify(const SimInstrument &sim, const Image &image, Sample &sample)
{
    const QMap<QString, QString> report = sim.report();
    QStringList problems = sim.violations();
    if (report.value(QStringLiteral("writes")) != QLatin1String("1")
        || report.value(QStringLiteral("blocks")).toInt() != image.blocks)
        problems << QStringLiteral("report: writes=%1 blocks=%2")
                        .arg(report.value(QStringLiteral("writes")), report.value(QStringLiteral("blocks")));
    if (sim.memory().left(int(image.bytes.size())) != image.bytes)
        problems << QStringLiteral("the instrument's memory differs from the image");
    if (!problems.isEmpty())
        fail(QStringLiteral("wrong write: ") + problems.join(QStringLiteral("; ")));
    sample.turnaroundUs = reportedMicroseconds(report, QStringLiteral("turnaround_median_us"));
    sample.turnaroundP90Us = reportedMicroseconds(report, QStringLiteral("turnaround_p90_us"));
    sample.turnaroundMeanUs = reportedMicroseconds(report, QStringLiteral("turnaround_mean_us"));
}

Sample writeInProcess(const Image &image, const Setup &setup)
{
    SimInstrument sim(setup.simArguments());
    startSimulator(sim);
    Modem modem;
    if (!modem.openPort(sim.devicePath()))
        fail(modem.errorString());
    FlashWriter writer;
    QEventLoop loop;
    bool written = false;
    QObject::connect(&writer, &FlashWriter::finished, &loop, [&](bool ok) {
        written = ok;
        loop.quit();
    });

    Sample sample;
    const double cpuBefore = cpuSeconds(RUSAGE_SELF);
    QElapsedTimer clock;
    clock.start();
    if (!writer.start(modem.device(), *image.cells, image.length))
        fail(writer.errorString());
    loop.exec();
    sample.loaderWall = secondsOf(clock);
    sample.cpu = cpuSeconds(RUSAGE_SELF) - cpuBefore;
    if (!written)
        fail(writer.errorString());
    sample.transfer = waitForEndMarker(sim, clock);
    verify(sim, image, sample);
    return sample;
}

// For comparison, a host that does nothing but blocking reads and one
// write a block, no event loop: what the simulator and the pseudo-terminal
// leave to a loader at best.
class RawHost
{
public:
    explicit RawHost(const QString &path)
        : fd(::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_CLOEXEC))
    {
        termios settings{};
        if (fd < 0 || ::tcgetattr(fd, &settings) != 0)
            fail(QStringLiteral("cannot open %1").arg(path));
        ::cfmakeraw(&settings);
        ::tcsetattr(fd, TCSANOW, &settings);
        ::tcflush(fd, TCIFLUSH);
    }
    ~RawHost() { ::close(fd); }
    RawHost(const RawHost &) = delete;
    RawHost &operator=(const RawHost &) = delete;

    bool write(const Image &image)
    {
        if (!send(QByteArray(FlashWriter::StartCommand)))
            return false;
        for (int block = 0; block < image.blocks; ++block) {
            const int address = block * FlashWriter::BlockSize;
            QByteArray frame;
            frame.append(char(address & 0xFF)).append(char((address >> 8) & 0xFF));
            frame.append(image.bytes.mid(address, FlashWriter::BlockSize));
            if (block == image.blocks - 1)
                frame.append(EndMarkerBytes, char(0xFF));
            if (!awaitReady() || !send(frame))
                return false;
        }
        return true;
    }

private:
    bool awaitReady()
    {
        const int timeoutMs = int(FlashWriter::FirstReplyTimeout.count());
        char byte = 0;
        do {
            pollfd line{fd, POLLIN, 0};
            if (::poll(&line, 1, timeoutMs) != 1 || ::read(fd, &byte, 1) != 1)
                return false;
        } while (byte != FlashWriter::BlockReady);
        return true;
    }

    bool send(const QByteArray &bytes)
    {
        return ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    }

    int fd;
};

Sample writeRaw(const Image &image, const Setup &setup)
{
    SimInstrument sim(setup.simArguments());
    startSimulator(sim);
    Sample sample;
    QElapsedTimer clock;
    {
        RawHost host(sim.devicePath());
        const double cpuBefore = cpuSeconds(RUSAGE_SELF);
        clock.start();
        if (!host.write(image))
            fail(QStringLiteral("the raw write broke off"));
        sample.loaderWall = secondsOf(clock);
        sample.cpu = cpuSeconds(RUSAGE_SELF) - cpuBefore;
        sample.transfer = waitForEndMarker(sim, clock);
    }
    verify(sim, image, sample);
    return sample;
}

struct FlasherSample
{
    Sample process;    // from the spawn to the exit
    Sample writePhase; // from the start line; CPU up to the exit
};

// Times the flasher's own lines as they arrive; the end marker is awaited
// right after the last one, before the exit is even seen.
class FlasherWatch
{
public:
    FlasherWatch(QProcess &flasher, const SimInstrument &sim, const QElapsedTimer &clock, qint64 serverPid = 0)
        : flasher(flasher), sim(sim), clock(clock), serverPid(serverPid)
    {
    }

    void takeLines()
    {
        while (flasher.canReadLine()) {
            const QByteArray line = flasher.readLine();
            if (startAt < 0 && line.startsWith(StartLine)) {
                startAt = secondsOf(clock);
                cpuAtStart = processCpuSeconds(flasher.processId());
                serverCpuAtStart = procCpuSeconds(serverPid);
            } else if (doneAt < 0 && line.startsWith(DoneLine)) {
                doneAt = secondsOf(clock);
                endAt = waitForEndMarker(sim, clock);
            }
        }
    }

    double startAt = Unknown;
    double cpuAtStart = Unknown;
    double serverCpuAtStart = Unknown;
    double doneAt = Unknown;
    double endAt = Unknown;

private:
    QProcess &flasher;
    const SimInstrument &sim;
    const QElapsedTimer &clock;
    qint64 serverPid;
};

void runToExit(QProcess &flasher, FlasherWatch &watch)
{
    QEventLoop loop;
    QObject::connect(&flasher, &QProcess::readyReadStandardOutput, &loop, [&] { watch.takeLines(); });
    QObject::connect(&flasher, &QProcess::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(FlasherTimeout, &loop, &QEventLoop::quit);
    flasher.start();
    if (!flasher.waitForStarted())
        fail(QStringLiteral("zirbelwerk-flash: ") + flasher.errorString());
    loop.exec();
    if (flasher.state() != QProcess::NotRunning) {
        flasher.kill();
        flasher.waitForFinished();
        fail(QStringLiteral("zirbelwerk-flash did not end"));
    }
    watch.takeLines();
}

FlasherSample writeWithFlasher(const QString &executable, const Image &image, const Setup &setup)
{
    SimInstrument sim(setup.simArguments());
    startSimulator(sim);
    QProcess flasher;
    flasher.setProgram(executable);
    flasher.setArguments({QStringLiteral("--port"), sim.devicePath(), QStringLiteral(ZW_HEX_FILE)});
    QElapsedTimer clock;
    FlasherWatch watch(flasher, sim, clock);

    // The simulator is a child too, but it is only reaped after this.
    const double cpuBefore = cpuSeconds(RUSAGE_CHILDREN);
    clock.start();
    runToExit(flasher, watch);
    const double exitAt = secondsOf(clock);
    const double cpu = cpuSeconds(RUSAGE_CHILDREN) - cpuBefore;
    if (flasher.exitStatus() != QProcess::NormalExit || flasher.exitCode() != 0)
        fail(QStringLiteral("zirbelwerk-flash failed (%1): %2")
                 .arg(flasher.exitCode())
                 .arg(QString::fromLocal8Bit(flasher.readAllStandardError()).trimmed()));
    if (watch.startAt < 0 || watch.doneAt < 0)
        fail(QStringLiteral("zirbelwerk-flash did not print \"%1\" and \"%2\"").arg(StartLine, DoneLine));

    FlasherSample sample;
    sample.process = {exitAt, std::max(exitAt, watch.endAt), cpu};
    verify(sim, image, sample.process);
    sample.writePhase = sample.process;
    sample.writePhase.loaderWall = watch.doneAt - watch.startAt;
    sample.writePhase.transfer = watch.endAt - watch.startAt;
    sample.writePhase.cpu = watch.cpuAtStart < 0 ? Unknown : cpu - watch.cpuAtStart;
    return sample;
}

// A Windows program under Wine (the prefix WINEPREFIX names), on COM1 of
// the prefix linked to the simulator: its write phase from its start line,
// its CPU with that of Wine's server over the same span.
Sample writeUnderWine(const QStringList &command, const Image &image, const Setup &setup, qint64 serverPid)
{
    SimInstrument sim(setup.simArguments());
    startSimulator(sim);
    const QString com1 = qEnvironmentVariable("WINEPREFIX") + QStringLiteral("/dosdevices/com1");
    QFile::remove(com1);
    if (!QFile::link(sim.devicePath(), com1))
        fail(QStringLiteral("cannot link %1 (WINEPREFIX set?)").arg(com1));
    QProcess program;
    program.setProgram(QStringLiteral("/usr/lib/wine/wine64"));
    program.setArguments(QStringList(command).replaceInStrings(QStringLiteral("PORT"), QStringLiteral("COM1")));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // Its lines in German, as the watch expects them.
    environment.insert(QStringLiteral("LANG"), QStringLiteral("de_DE.UTF-8"));
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("de_DE.UTF-8"));
    environment.insert(QStringLiteral("WINEDEBUG"), QStringLiteral("-all"));
    program.setProcessEnvironment(environment);
    QElapsedTimer clock;
    FlasherWatch watch(program, sim, clock, serverPid);

    const double cpuBefore = cpuSeconds(RUSAGE_CHILDREN);
    clock.start();
    runToExit(program, watch);
    const double cpu = cpuSeconds(RUSAGE_CHILDREN) - cpuBefore;
    const double serverCpu = procCpuSeconds(serverPid) - watch.serverCpuAtStart;
    QFile::remove(com1);
    if (program.exitStatus() != QProcess::NormalExit || program.exitCode() != 0)
        fail(QStringLiteral("%1 failed (%2): %3")
                 .arg(command.first())
                 .arg(program.exitCode())
                 .arg(QString::fromLocal8Bit(program.readAllStandardError()).trimmed()));
    if (watch.startAt < 0 || watch.doneAt < 0 || watch.cpuAtStart < 0 || watch.serverCpuAtStart < 0)
        fail(QStringLiteral("%1: no start and done line, or no CPU times").arg(command.first()));

    Sample sample {watch.doneAt - watch.startAt, watch.endAt - watch.startAt, 0, serverCpu};
    sample.cpu = cpu - watch.cpuAtStart + serverCpu;
    verify(sim, image, sample);
    return sample;
}

#ifdef ZW_BENCH_WINDOW
// The window's debug lines and the offscreen platform's notes would bury
// the progress lines.
void quietWindow(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtDebugMsg || type == QtInfoMsg || message.startsWith(QLatin1String("This plugin does not support")))
        return;
    std::fprintf(stderr, "%s\n", qPrintable(message));
}

// The real window, driven like a user: it finds the instrument on COM1,
// takes the file through its dialog and writes on a click of "Write Flash".
// Timed from that click until its status bar says the write is done; the
// CPU time is this whole process's over the same span.
Sample writeWithWindow(const Image &image, const Setup &setup)
{
    SimInstrument sim(setup.simArguments());
    startSimulator(sim);
    qputenv("ZIRBELWERK_PORTS", sim.devicePath().toLocal8Bit());
    VELDfwloader window;
    WindowProbe probe(window);
    Ui::ZirbelWerk &ui = probe.ui();
    window.show();
    const int searchMs = int(std::chrono::milliseconds(WindowSearchTimeout).count());
    if (!QTest::qWaitFor([&] { return ui.pushButton->isEnabled(); }, searchMs))
        fail(QStringLiteral("the window did not find the instrument: ") + ui.statusBar->currentMessage());
    FileDialogAnswer answer(QStringLiteral(ZW_HEX_FILE));
    QTest::mouseClick(ui.pushButton, Qt::LeftButton);
    if (!answer.answered() || !ui.pushButton_2->isEnabled())
        fail(QStringLiteral("the window did not take the file: ") + ui.label->text());
    // Whatever the load left to paint is not part of the write.
    QCoreApplication::processEvents();

    Sample sample;
    QElapsedTimer clock;
    QEventLoop loop;
    bool written = false;
    double cpuBefore = 0;
    QObject::connect(ui.statusBar, &QStatusBar::messageChanged, &loop, [&](const QString &text) {
        // The buttons come back as the write ends, before its last message.
        if (!ui.pushButton_2->isEnabled())
            return;
        sample.loaderWall = secondsOf(clock);
        sample.cpu = cpuSeconds(RUSAGE_SELF) - cpuBefore;
        written = text == QLatin1String(DoneLine);
        loop.quit();
    });
    QTimer::singleShot(FlasherTimeout, &loop, &QEventLoop::quit);
    cpuBefore = cpuSeconds(RUSAGE_SELF);
    clock.start();
    QTest::mouseClick(ui.pushButton_2, Qt::LeftButton);
    loop.exec();
    if (!written)
        fail(QStringLiteral("the window did not write: ") + ui.statusBar->currentMessage());
    sample.transfer = waitForEndMarker(sim, clock);
    verify(sim, image, sample);
    return sample;
}
#endif

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// One unknown value makes the figure unknown, not smaller.
double knownMedian(const std::vector<double> &values)
{
    const bool known = std::none_of(values.begin(), values.end(), [](double v) { return v < 0; });
    return known ? median(values) : Unknown;
}

Sample medianOf(const std::vector<Sample> &samples)
{
    std::vector<double> wall, transfer, cpu, serverCpu, turnaround, turnaroundP90, turnaroundMean;
    for (const Sample &sample : samples) {
        wall.push_back(sample.loaderWall);
        transfer.push_back(sample.transfer);
        cpu.push_back(sample.cpu);
        serverCpu.push_back(sample.serverCpu);
        turnaround.push_back(sample.turnaroundUs);
        turnaroundP90.push_back(sample.turnaroundP90Us);
        turnaroundMean.push_back(sample.turnaroundMeanUs);
    }
    return {median(wall),          median(transfer),           knownMedian(cpu),           knownMedian(serverCpu),
            knownMedian(turnaround), knownMedian(turnaroundP90), knownMedian(turnaroundMean)};
}

struct Series
{
    QString name;
    std::vector<Sample> samples;
    double limit = 0;
    double cpuShareTarget = CpuShareTarget;
    double ratioTarget = RatioTarget;
};

QString cpuText(double value, double scale, const char *format)
{
    return value < 0 ? QStringLiteral("n/a") : QString::asprintf(format, value * scale);
}

QString overTarget(const QStringList &figures)
{
    return figures.isEmpty() ? QString() : QStringLiteral("  over target (%1)").arg(figures.join(QStringLiteral(", ")));
}

void printPacedRow(const Series &series, int blocks)
{
    const Sample m = medianOf(series.samples);
    const double ratio = m.transfer / series.limit;
    const double share = m.cpu < 0 ? Unknown : m.cpu / m.loaderWall;
    QStringList over;
    if (ratio > series.ratioTarget)
        over << QStringLiteral("x limit");
    if (share > series.cpuShareTarget)
        over << QStringLiteral("CPU %");
    std::printf("%-26s %10.3f %8.4f %10.0f %9.3f %8s %7s %8s %7s %8s%s\n", qPrintable(series.name), m.transfer, ratio,
                (m.transfer - series.limit) / blocks * 1e6, m.loaderWall, qPrintable(cpuText(m.cpu, 1e3, "%.1f")),
                qPrintable(cpuText(share, 1e2, "%.2f")), qPrintable(cpuText(m.turnaroundUs, 1, "%.0f")),
                qPrintable(cpuText(m.turnaroundP90Us, 1, "%.0f")), qPrintable(cpuText(m.turnaroundMeanUs, 1, "%.0f")),
                qPrintable(overTarget(over)));
}

void printUnpacedRow(const Series &series, int blocks)
{
    const Sample m = medianOf(series.samples);
    const double cpuPerBlockUs = m.cpu < 0 ? Unknown : m.cpu / blocks * 1e6;
    QStringList over;
    if (cpuPerBlockUs > CpuPerBlockTargetUs)
        over << QStringLiteral("CPU us/block");
    std::printf("%-26s %10.1f %10.1f %8s %10s %8s %7s%s\n", qPrintable(series.name), m.loaderWall * 1e3,
                m.loaderWall / blocks * 1e6, qPrintable(cpuText(m.cpu, 1e3, "%.1f")),
                qPrintable(cpuText(cpuPerBlockUs, 1, "%.1f")), qPrintable(cpuText(m.turnaroundUs, 1, "%.0f")),
                qPrintable(cpuText(m.turnaroundP90Us, 1, "%.0f")), qPrintable(overTarget(over)));
}

QString flasherExecutable()
{
#ifdef ZW_FLASH_EXECUTABLE
    const QString path = QStringLiteral(ZW_FLASH_EXECUTABLE);
    if (QFileInfo(path).isExecutable())
        return path;
#endif
    return QString();
}

// Which loaders run; the flasher's path is empty when it is not to run.
struct Loaders
{
    bool raw = true;
    bool writer = true;
    QString flasher;
    bool window = false;
    // Windows programs under Wine, and the pid of Wine's server.
    QString wineFlasher;
    QString wineRaw;
    QString wineRawImage; // the image's bytes, for the raw host
    qint64 wineServer = 0;
};

const QString FlasherPhaseName = QStringLiteral("flasher, write phase");
const QString WindowName = QStringLiteral("window, write phase");
const QString WineFlasherName = QStringLiteral("Windows flasher, Wine");
const QString WineRawName = QStringLiteral("raw Win32 host, Wine");

// Round by round, so that a busy spell of the machine falls on all loaders
// alike, and the flasher and the window run right after each other.
std::vector<Series> runSeries(const Image &image, const Setup &setup, int runs, const Loaders &loaders)
{
    const char *mode = setup.paced ? "paced" : "unpaced";
    const double limit = lineLimit(setup, image.blocks);
    const qint64 searchBytes = qint64(qstrlen(VersionReply::Query)) + VersionReply::Size;
    Series raw{QStringLiteral("blocking raw port"), {}, limit};
    Series inProcess{QStringLiteral("FlashWriter, this process"), {}, limit};
    Series writePhase{FlasherPhaseName, {}, limit};
    Series window{WindowName, {}, limit, WindowCpuShareTarget};
    Series process{QStringLiteral("flasher, whole process"), {}, lineLimit(setup, image.blocks, searchBytes)};
    Series wineFlasher{WineFlasherName, {}, limit, WineCpuShareTarget, WineRatioTarget};
    Series wineRaw{WineRawName, {}, limit, WineCpuShareTarget, WineRatioTarget};
    for (int i = 1; i <= runs; ++i) {
        const auto note = [&](const QString &name, const Sample &sample) {
            progress(QStringLiteral("  %1 %2/%3 %4: %5 s")
                         .arg(QLatin1String(mode)).arg(i).arg(runs).arg(name)
                         .arg(sample.transfer, 0, 'f', 3));
        };
        if (loaders.raw) {
            raw.samples.push_back(writeRaw(image, setup));
            note(raw.name, raw.samples.back());
        }
        if (loaders.writer) {
            inProcess.samples.push_back(writeInProcess(image, setup));
            note(inProcess.name, inProcess.samples.back());
        }
        if (!loaders.flasher.isEmpty()) {
            const FlasherSample sample = writeWithFlasher(loaders.flasher, image, setup);
            process.samples.push_back(sample.process);
            writePhase.samples.push_back(sample.writePhase);
            note(QStringLiteral("zirbelwerk-flash"), sample.process);
        }
#ifdef ZW_BENCH_WINDOW
        if (loaders.window) {
            window.samples.push_back(writeWithWindow(image, setup));
            note(window.name, window.samples.back());
        }
#endif
        if (!loaders.wineFlasher.isEmpty()) {
            wineFlasher.samples.push_back(writeUnderWine(
                    {loaders.wineFlasher, QStringLiteral("--port"), QStringLiteral("PORT"), QStringLiteral(ZW_HEX_FILE)},
                    image, setup, loaders.wineServer));
            note(wineFlasher.name, wineFlasher.samples.back());
        }
        if (!loaders.wineRaw.isEmpty()) {
            wineRaw.samples.push_back(writeUnderWine({loaders.wineRaw, QStringLiteral("PORT"), loaders.wineRawImage},
                                                     image, setup, loaders.wineServer));
            note(wineRaw.name, wineRaw.samples.back());
        }
    }
    std::vector<Series> results;
    for (const Series *series : {&raw, &inProcess, &writePhase, &window, &process, &wineRaw, &wineFlasher})
        if (!series->samples.empty())
            results.push_back(*series);
    return results;
}

const Series *findSeries(const std::vector<Series> &results, const QString &name)
{
    for (const Series &series : results)
        if (series.name == name)
            return &series;
    return nullptr;
}

// The window's write phase beside the flasher's, from the same rounds.
void printWindowAgainstFlasher(const std::vector<Series> &results)
{
    const Series *flasher = findSeries(results, FlasherPhaseName);
    const Series *window = findSeries(results, WindowName);
    if (!flasher || !window)
        return;
    // Paired by round: both met the same spell of the machine.
    std::vector<double> ratios;
    for (size_t i = 0; i < window->samples.size() && i < flasher->samples.size(); ++i)
        ratios.push_back(window->samples[i].transfer / flasher->samples[i].transfer);
    const Sample f = medianOf(flasher->samples);
    const Sample w = medianOf(window->samples);
    const auto share = [](const Sample &m) { return m.cpu < 0 ? Unknown : m.cpu / m.loaderWall; };
    const double ratio = median(ratios);
    std::printf("\nwindow beside flasher, write phase   flasher    window\n");
    std::printf("  transfer s                        %9.3f %9.3f   window / flasher %.4f (median of rounds)%s\n",
                f.transfer, w.transfer, ratio, ratio > WindowToFlasherTarget ? "  over target" : "");
    std::printf("  x limit                           %9.4f %9.4f%s\n", f.transfer / flasher->limit,
                w.transfer / window->limit, w.transfer / window->limit > RatioTarget ? "  over target" : "");
    std::printf("  CPU %% of loader s                 %9s %9s%s\n", qPrintable(cpuText(share(f), 1e2, "%.2f")),
                qPrintable(cpuText(share(w), 1e2, "%.2f")), share(w) > WindowCpuShareTarget ? "  over target" : "");
    std::printf("  turnaround median us              %9s %9s\n", qPrintable(cpuText(f.turnaroundUs, 1, "%.0f")),
                qPrintable(cpuText(w.turnaroundUs, 1, "%.0f")));
    std::printf("  turnaround p90 us                 %9s %9s\n", qPrintable(cpuText(f.turnaroundP90Us, 1, "%.0f")),
                qPrintable(cpuText(w.turnaroundP90Us, 1, "%.0f")));
    std::printf("  turnaround mean us                %9s %9s\n", qPrintable(cpuText(f.turnaroundMeanUs, 1, "%.0f")),
                qPrintable(cpuText(w.turnaroundMeanUs, 1, "%.0f")));
}

// The Windows flasher under Wine beside the Linux flasher, from the same
// rounds; Wine's server works for the Windows program, so its CPU counts.
void printWineAgainstFlasher(const std::vector<Series> &results)
{
    const Series *flasher = findSeries(results, FlasherPhaseName);
    const Series *wine = findSeries(results, WineFlasherName);
    const Series *raw = findSeries(results, WineRawName);
    if (!wine)
        return;
    const Sample w = medianOf(wine->samples);
    const Sample f = flasher ? medianOf(flasher->samples) : Sample {Unknown, Unknown, Unknown};
    const auto text = [](double value, double scale, const char *format) { return cpuText(value, scale, format); };
    std::printf("\nWindows flasher under Wine beside the Linux flasher, write phase\n");
    std::printf("                                     Linux      Wine\n");
    std::printf("  transfer s                      %9s %9s\n", qPrintable(text(f.transfer, 1, "%.3f")),
                qPrintable(text(w.transfer, 1, "%.3f")));
    std::printf("  x limit                         %9s %9s   target <= %.2f under Wine\n",
                qPrintable(text(flasher ? f.transfer / flasher->limit : Unknown, 1, "%.4f")),
                qPrintable(text(w.transfer / wine->limit, 1, "%.4f")), WineRatioTarget);
    std::printf("  CPU ms, the flasher             %9s %9s\n", qPrintable(text(f.cpu, 1e3, "%.1f")),
                qPrintable(text(w.cpu < 0 ? Unknown : w.cpu - w.serverCpu, 1e3, "%.1f")));
    std::printf("  CPU ms, Wine's server           %9s %9s\n", "", qPrintable(text(w.serverCpu, 1e3, "%.1f")));
    std::printf("  CPU %% of the write phase        %9s %9s   target <= %.0f %% under Wine\n",
                qPrintable(text(f.cpu < 0 ? Unknown : f.cpu / f.loaderWall, 1e2, "%.2f")),
                qPrintable(text(w.cpu < 0 ? Unknown : w.cpu / w.loaderWall, 1e2, "%.2f")), WineCpuShareTarget * 100);
    std::printf("  turnaround median us            %9s %9s\n", qPrintable(text(f.turnaroundUs, 1, "%.0f")),
                qPrintable(text(w.turnaroundUs, 1, "%.0f")));
    if (raw) {
        const Sample r = medianOf(raw->samples);
        std::printf("What Wine leaves any Windows program (raw Win32 host): x limit %.4f, CPU %% %s (server %s ms), "
                    "turnaround median %s us\n",
                    r.transfer / raw->limit, qPrintable(text(r.cpu < 0 ? Unknown : r.cpu / r.loaderWall, 1e2, "%.2f")),
                    qPrintable(text(r.serverCpu, 1e3, "%.1f")), qPrintable(text(r.turnaroundUs, 1, "%.0f")));
    }
}

void paced(const Image &image, const Setup &setup, int runs, const Loaders &loaders)
{
    std::printf("\nPaced: %d baud, erase %d ms, block write %d ms, median of %d runs\n", BaudRate, setup.eraseMs,
                setup.blockMs, runs);
    std::printf("line limit %.4f s = (%lld host + %d instrument bytes) x %d bit / %d + %d ms + %d x %d ms\n",
                lineLimit(setup, image.blocks), static_cast<long long>(hostBytes(image.blocks)), image.blocks,
                BitsPerByte, BaudRate, setup.eraseMs, image.blocks - 1, setup.blockMs);
    std::fflush(stdout);
    const std::vector<Series> results = runSeries(image, setup, runs, loaders);
    std::printf("%-26s %10s %8s %10s %9s %8s %7s %8s %7s %8s\n", "", "transfer s", "x limit", "+us/block", "loader s",
                "CPU ms", "CPU %", "turn us", "p90 us", "mean us");
    for (const Series &series : results)
        printPacedRow(series, image.blocks);
    printWindowAgainstFlasher(results);
    printWineAgainstFlasher(results);
    std::fflush(stdout);
}

void unpaced(const Image &image, const Setup &setup, int runs, const Loaders &loaders)
{
    std::printf("\nUnpaced: bare pseudo-terminal, no erase or block time, median of %d runs\n", runs);
    std::fflush(stdout);
    const std::vector<Series> results = runSeries(image, setup, runs, loaders);
    std::printf("%-26s %10s %10s %8s %10s %8s %7s\n", "", "loader ms", "us/block", "CPU ms", "CPU us/bl", "turn us",
                "p90 us");
    for (const Series &series : results)
        printUnpacedRow(series, image.blocks);
    std::fflush(stdout);
}

int intOption(const QCommandLineParser &parser, const QString &name)
{
    bool ok = false;
    const int value = parser.value(name).toInt(&ok);
    if (!ok || value < 0)
        fail(QStringLiteral("--%1 needs a whole number of 0 or more").arg(name));
    return value;
}

Loaders chosenLoaders(const QString &list)
{
    const QStringList names = list.split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const QString &name : names)
        if (!QStringList{"raw", "writer", "flasher", "window", "wine", "wineraw"}.contains(name))
            fail(QStringLiteral("--loaders: unknown loader %1").arg(name));
    Loaders loaders;
    loaders.raw = names.contains(QStringLiteral("raw"));
    loaders.writer = names.contains(QStringLiteral("writer"));
    if (names.contains(QStringLiteral("flasher"))) {
        loaders.flasher = flasherExecutable();
        if (loaders.flasher.isEmpty())
            std::printf("zirbelwerk-flash not built: its figures are skipped\n");
    }
#ifdef ZW_BENCH_WINDOW
    loaders.window = names.contains(QStringLiteral("window"));
#else
    if (names.contains(QStringLiteral("window")))
        std::printf("built without the window: its figures are skipped\n");
#endif
    return loaders;
}

// The Windows programs (bench/wine.sh passes them, with Wine's server).
void chooseWinePrograms(Loaders &loaders, const QStringList &names, const QCommandLineParser &parser,
                        const Image &image, QTemporaryDir &scratch)
{
    loaders.wineServer = parser.value(QStringLiteral("wineserver-pid")).toLongLong();
    const bool wanted = names.contains(QStringLiteral("wine")) || names.contains(QStringLiteral("wineraw"));
    if (wanted && (loaders.wineServer <= 0 || !qEnvironmentVariableIsSet("WINEPREFIX")))
        fail(QStringLiteral("the Windows programs run under bench/wine.sh only (WINEPREFIX, --wineserver-pid)"));
    if (names.contains(QStringLiteral("wine")))
        loaders.wineFlasher = parser.value(QStringLiteral("wine-flasher"));
    if (names.contains(QStringLiteral("wineraw"))) {
        loaders.wineRaw = parser.value(QStringLiteral("wine-raw"));
        loaders.wineRawImage = scratch.filePath(QStringLiteral("image.bin"));
        QFile bytes(loaders.wineRawImage);
        if (!bytes.open(QIODevice::WriteOnly) || bytes.write(image.bytes) != image.bytes.size())
            fail(QStringLiteral("cannot write %1").arg(loaders.wineRawImage));
    }
}

} // namespace

int main(int argc, char *argv[])
{
#ifdef ZW_BENCH_WINDOW
    // Offscreen unless a platform is asked for (xcb under Xvfb: window-xvfb.sh).
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    // The window keeps its font size in the settings; not the user's.
    QStandardPaths::setTestModeEnabled(true);
    qInstallMessageHandler(quietWindow);
#else
    QCoreApplication application(argc, argv);
#endif
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Flash write of the full image against the simulated instrument."));
    parser.addHelpOption();
    parser.addOptions({
        {QStringLiteral("paced-runs"), QStringLiteral("Paced runs of each loader, 0 skips (default 3)."),
         QStringLiteral("n"), QStringLiteral("3")},
        {QStringLiteral("unpaced-runs"), QStringLiteral("Unpaced runs of each loader, 0 skips (default 11)."),
         QStringLiteral("n"), QStringLiteral("11")},
        {QStringLiteral("erase-ms"), QStringLiteral("Paced: erase time (default 50)."), QStringLiteral("ms"),
         QStringLiteral("50")},
        {QStringLiteral("block-ms"), QStringLiteral("Paced: block write time (default 2)."), QStringLiteral("ms"),
         QStringLiteral("2")},
        {QStringLiteral("loaders"),
         QStringLiteral("Which loaders run, of raw, writer, flasher and window, and under Wine wine (the "
                        "Windows flasher) and wineraw (a raw Win32 host) (default the first four)."),
         QStringLiteral("list"), QStringLiteral("raw,writer,flasher,window")},
        {QStringLiteral("wine-flasher"), QStringLiteral("The Windows zirbelwerk-flash.exe."), QStringLiteral("path")},
        {QStringLiteral("wine-raw"), QStringLiteral("The Windows bench_rawhost.exe."), QStringLiteral("path")},
        {QStringLiteral("wineserver-pid"), QStringLiteral("Wine's server, whose CPU time counts."),
         QStringLiteral("pid")},
    });
    parser.process(application);
    Setup setup;
    setup.eraseMs = intOption(parser, QStringLiteral("erase-ms"));
    setup.blockMs = intOption(parser, QStringLiteral("block-ms"));
    const int pacedRuns = intOption(parser, QStringLiteral("paced-runs"));
    const int unpacedRuns = intOption(parser, QStringLiteral("unpaced-runs"));

    Loaders loaders = chosenLoaders(parser.value(QStringLiteral("loaders")));

    const Image image = loadImage();
    QTemporaryDir scratch;
    chooseWinePrograms(loaders, parser.value(QStringLiteral("loaders")).split(QLatin1Char(',')), parser, image,
                       scratch);
    std::printf("%s: %d blocks of %d bytes\n", ZW_HEX_FILE, image.blocks, FlashWriter::BlockSize);
#ifdef ZW_BENCH_WINDOW
    std::printf("window on Qt's %s platform\n", qPrintable(QGuiApplication::platformName()));
#endif
    if (unpacedRuns > 0)
        unpaced(image, Setup{false, 0, 0}, unpacedRuns, loaders);
    if (pacedRuns > 0)
        paced(image, setup, pacedRuns, loaders);
    std::printf("\ntargets: x limit <= %.2f, CPU < %.0f %% of the loader's wall time (window %.1f %%), CPU < %.0f us a "
                "block unpaced; window's transfer <= %.2f x the flasher's\n",
                RatioTarget, CpuShareTarget * 100, WindowCpuShareTarget * 100, CpuPerBlockTargetUs,
                WindowToFlasherTarget);
    if (!loaders.wineFlasher.isEmpty() || !loaders.wineRaw.isEmpty())
        std::printf("under Wine: x limit <= %.2f, CPU (the program's and Wine's server's) <= %.0f %% of the write "
                    "phase\n", WineRatioTarget, WineCpuShareTarget * 100);
    return 0;
}
