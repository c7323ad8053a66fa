// zirbelwerk-flash --report on a year's record of a production line, against
// Python's json module parsing the same lines one by one, in one run. The
// record is generated: eight stations on four hosts, eight ports each, three
// firmwares, a slow adapter type, and one fixture that fails at one block.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <random>

#include <sys/resource.h>

namespace {

struct Firmware
{
    const char *file;
    const char *sha;
    int blocks;
};

const Firmware Firmwares[] = {
    {"/srv/line/firmware/instrument-app-2.14.hex", "3f5a9c0e21b84d7e96a1c2f0b3d4e5f60718293a4b5c6d7e8f90a1b2c3d4e5f6", 1008},
    {"/srv/line/firmware/instrument-app-2.15.hex", "8e1d2c3b4a5968778695a4b3c2d1e0f0123456789abcdef0fedcba9876543210", 1012},
    {"C:\\\\Fertigung\\\\firmware\\\\instrument-boot-1.03.hex", "00112233445566778899aabbccddeeff00112233445566778899aabbccddeeff", 800},
};
const char *const Failures[] = {"no_reply", "line_lost", "send_timeout", "write_error", "not_connected"};

QByteArray recordLine(std::mt19937 &random, qint64 utcSeconds)
{
    std::uniform_int_distribution<int> pick(0, 999);
    const int host = pick(random) % 4, station = pick(random) % 2, port = pick(random) % 8;
    const Firmware &firmware = Firmwares[pick(random) < 700 ? 0 : pick(random) < 800 ? 1 : 2];
    const bool slowAdapter = port >= 6;
    const bool fixture = host == 2 && station == 1 && port == 3;
    const int roll = pick(random);
    const bool written = roll < (fixture ? 800 : 955);
    const bool interrupted = !written && roll > 990;
    const char *failure = written ? nullptr : interrupted ? "interrupted" : Failures[pick(random) % 5];
    int block = firmware.blocks;
    if (!written)
        block = fixture ? 512 : std::uniform_int_distribution<int>(0, firmware.blocks)(random);
    std::normal_distribution<double> duration(slowAdapter ? 61.0 : 44.0, 2.5);
    const double seconds = written ? duration(random) : duration(random) * block / firmware.blocks;
    char time[32];
    const time_t t = time_t(utcSeconds);
    std::strftime(time, sizeof time, "%Y-%m-%dT%H:%M:%S", std::gmtime(&t));
    char line[1400];
    std::snprintf(line, sizeof line,
        "{\"time\":\"%s.%03dZ\",\"program\":\"zirbelwerk-station\",\"version\":\"1.1.0\",\"host\":\"linie-%d\","
        "\"station\":\"Platz %d\",\"user\":\"fertigung\",\"port\":\"COM%d\",\"device\":\"/dev/serial/by-id/"
        "usb-%s_A5%02d%02d-if00-port0\",\"usb_vid\":\"%s\",\"usb_pid\":\"%s\",\"usb_serial\":\"A5%02d%02d\","
        "\"usb_description\":\"%s\",\"firmware_before\":\"V2.%02d\",\"file\":\"%s\",\"file_size\":182113,"
        "\"file_sha256\":\"%s\",\"image_length\":64512,\"blocks\":%d,\"result\":\"%s\",\"failure\":%s%s%s,"
        "\"message\":\"%s\",\"block\":%d,\"seconds\":%.3f}\n",
        time, pick(random), host + 1, station + 1, port + 1, slowAdapter ? "1a86_USB_Serial" : "FTDI_FT232R_USB_UART",
        host, port, slowAdapter ? "1a86" : "0403", slowAdapter ? "7523" : "6001", host, port,
        slowAdapter ? "USB Serial" : "FT232R USB UART", 10 + pick(random) % 5, firmware.file, firmware.sha,
        firmware.blocks, written ? "written" : interrupted ? "interrupted" : "failed", failure ? "\"" : "",
        failure ? failure : "null", failure ? "\"" : "",
        written ? "Flash geschrieben" : "Abbruch bei Block n / m: die HW antwortet nicht. HW aus- und wieder einschalten",
        block, seconds);
    return line;
}

qint64 generate(const QString &path, qint64 lines)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return -1;
    std::mt19937 random(31);
    const qint64 start = 1704067200; // 2024-01-01, a year of shifts
    QByteArray chunk;
    for (qint64 i = 0; i < lines; ++i) {
        chunk += recordLine(random, start + i * (365 * 86400 / lines));
        if (chunk.size() > (1 << 22)) {
            file.write(chunk);
            chunk.clear();
        }
    }
    file.write(chunk);
    return file.size();
}

double run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer timer;
    timer.start();
    process.start(program, arguments);
    if (!process.waitForFinished(-1) || process.exitCode() != 0) {
        std::fprintf(stderr, "%s failed\n", qPrintable(program));
        std::exit(1);
    }
    return double(timer.nsecsElapsed()) / 1e9;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    const qint64 lines = arguments.size() > 1 ? arguments.at(1).toLongLong() : 1000000;
    QTemporaryDir folder;
    // A third argument keeps the record there, for a look at its page.
    const QString record = arguments.size() > 2 ? arguments.at(2) : folder.filePath(QStringLiteral("flash-record.jsonl"));
    const QString page = folder.filePath(QStringLiteral("report.html"));
    std::fprintf(stderr, "generating %lld lines ...\n", lines);
    const qint64 bytes = generate(record, lines);
    // The report first: the children's peak memory is then its own.
    const double report = run(QStringLiteral(ZW_FLASH_CLI), {QStringLiteral("--report"), QStringLiteral("--report-out"), page, record});
    rusage usage {};
    getrusage(RUSAGE_CHILDREN, &usage);
    const double python = run(QStringLiteral("python3"),
        {QStringLiteral("-c"), QStringLiteral("import json, sys\nfor line in open(sys.argv[1], 'rb'):\n    json.loads(line)\n"), record});
    std::printf("record                     %lld lines, %.1f MB\n", lines, double(bytes) / 1e6);
    std::printf("zirbelwerk-flash --report  %8.2f s\n", report);
    std::printf("python3 json.loads a line  %8.2f s\n", python);
    std::printf("report peak memory         %8.1f MB\n", double(usage.ru_maxrss) / 1024);
    std::printf("page                       %8.1f KB\n", double(QFileInfo(page).size()) / 1024);
    return 0;
}
