#include "SimInstrument.h"
#ifndef Q_OS_WIN
#include "PtyPeer.h"
#endif

#include "device/FlashWriter.h"
#include "image/HexLoader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLibraryInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>

#include <memory>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#else
#include <sys/stat.h>
#endif

using namespace std::chrono_literals;

namespace {

const QString HexData = QStringLiteral(ZW_TEST_DATA "/hex/");
#ifdef Q_OS_WIN
const QString MissingPort = QStringLiteral("COM200");
#else
const QString MissingPort = QStringLiteral("/dev/zirbelwerk-missing");
#endif
constexpr int RunTimeoutMs = 60000;

struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs the flasher with ZIRBELWERK_PORTS set to ports (unset for a null
// string); Windows has no use for it.
Run runCli(const QStringList &arguments, const QString &ports = QString())
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("ZIRBELWERK_PORTS"));
    if (!ports.isNull())
        environment.insert(QStringLiteral("ZIRBELWERK_PORTS"), ports);
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(ZW_FLASH_CLI), arguments);
    Run run;
    if (!process.waitForFinished(RunTimeoutMs)) {
        process.kill();
        process.waitForFinished();
        run.err = QStringLiteral("did not end");
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    // Windows ends its console lines with CR LF.
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput()).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    run.err = QString::fromLocal8Bit(process.readAllStandardError()).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return run;
}

std::unique_ptr<HexLoader> windowLoader()
{
    auto empty = std::make_unique<FirmwareImage>();
    empty->fill(FirmwareEmptyCell);
    return std::make_unique<HexLoader>(*empty, 0);
}

// Qt's German for a message of its option parser, from the catalogue the flasher loads.
QString qtGerman(const char *source)
{
    QTranslator qt;
    if (!qt.load(QStringLiteral("qtbase_de"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return QStringLiteral("(no qtbase_de)");
    const QString german = qt.translate("QCommandLineParser", source);
    return german.isEmpty() ? QStringLiteral("(no German for %1)").arg(QLatin1String(source)) : german;
}

bool hasControlCharacters(const QString &text)
{
    static const QRegularExpression control(QStringLiteral("[\\x00-\\x09\\x0B-\\x1F\\x7F]"));
    return text.contains(control);
}

// As the flasher names a port: the device only where it differs from the name.
QString withDevice(const QString &name, const QString &device)
{
    return name == device ? name : QStringLiteral("%1 (%2)").arg(name, device);
}

#ifdef Q_OS_WIN
// The COM names in the registry's list of serial ports.
QStringList registryComNames()
{
    QStringList names;
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return names;
    for (DWORD i = 0;; ++i) {
        wchar_t value[256];
        wchar_t data[64] = {};
        DWORD valueSize = 256;
        DWORD dataSize = DWORD(sizeof data - sizeof(wchar_t));
        if (::RegEnumValueW(key, i, value, &valueSize, nullptr, nullptr, reinterpret_cast<BYTE *>(data), &dataSize)
            != ERROR_SUCCESS)
            break;
        names << QString::fromWCharArray(data);
    }
    ::RegCloseKey(key);
    return names;
}
#endif

#ifndef Q_OS_WIN
QStringList comLines(const QString &out)
{
    return out.split(QLatin1Char('\n')).filter(QRegularExpression(QStringLiteral("^COM")));
}
#endif

} // namespace

class FlashCliTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void usage_data();
    void usage();
    void checkAgreesWithLoader_data();
    void checkAgreesWithLoader();
    void imageOutNotWritable();
    void loadWarningsAndJsonCheck_data();
    void loadWarningsAndJsonCheck();
#ifdef Q_OS_WIN
    void listShowsUnmappedComNames();
#else
    void listHonoursPortsVariable_data();
    void listHonoursPortsVariable();
#endif
    void wholeWrite_data();
    void wholeWrite();
    void refusedFileTouchesNoDevice();
    void noInstrument_data();
    void noInstrument();
    void failedWrite_data();
    void failedWrite();
    void probedPortsCloseCleanly_data();
    void probedPortsCloseCleanly();
    void watchWritesAnInstrumentLeftInPlaceOnce();
#ifndef Q_OS_WIN
    void terminalShowsProgressBar();
#endif

private:
    QString damaged(const QString &name, const QByteArray &text);

    QTemporaryDir dir;
};

void FlashCliTest::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(dir.isValid());
    // The flasher's record of every write goes here, not into the user's.
    qputenv("XDG_DATA_HOME", dir.filePath(QStringLiteral("data")).toLocal8Bit());
}

QString FlashCliTest::damaged(const QString &name, const QByteArray &text)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(text);
    return path;
}

void FlashCliTest::usage_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");

    // A file that does not exist: a call that got past the checks would be refused with 2.
    // The parser's own refusals come in Qt's German; the rest of the rows are in tst_flashoptions.
    const QString file = MissingPort + ".hex";
    QTest::newRow("unknown option") << QStringList {"--fast", file} << 1
                                    << qtGerman("Unknown option '%1'.").arg(QStringLiteral("fast"));
    QTest::newRow("port without value") << QStringList {file, "--port"} << 1
                                        << qtGerman("Missing value after '%1'.").arg(QStringLiteral("--port"));
    QTest::newRow("check with json") << QStringList {"--check", file, "--json"} << 1
                                     << "--check beruehrt keine HW; --json passt nicht dazu";
    QTest::newRow("help") << QStringList {"--help"} << 0 << "4  Flash schreiben fehlgeschlagen";
}

void FlashCliTest::usage()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    const Run run = runCli(arguments, QString());
    QCOMPARE(run.exitCode, exitCode);
    if (exitCode == 0) {
        QVERIFY2(run.out.contains(message), qPrintable(run.out));
        QVERIFY(run.err.isEmpty());
    } else {
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QVERIFY(run.err.contains(QStringLiteral("--help")));
        QVERIFY(run.out.isEmpty());
    }
}

void FlashCliTest::checkAgreesWithLoader_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("line"); // line the refusal names, 0: none expected

    const QStringList shipped = QDir(HexData).entryList({QStringLiteral("*.hex")}, QDir::Files, QDir::Name);
    QVERIFY(shipped.size() >= 5);
    for (const QString &name : shipped)
        QTest::newRow(qPrintable(name)) << HexData + name << 0;
    QTest::newRow("demo.hex") << QStringLiteral(ZW_DEMO_HEX) << 0;

    const QByteArray start = ":020000040000FA\n";
    const QByteArray signature = ":0400200000EF7EF07F\n";
    QTest::newRow("checksum") << damaged("checksum.hex", start + signature + ":0400200000EF7EF0AB\n") << 3;
    QTest::newRow("odd digits") << damaged("odd.hex", start + ":0400200000EF7EF0A\n") << 2;
    QTest::newRow("not hex") << damaged("nothex.hex", start + signature + ":04003000G0EF7EF06F\n") << 3;
    QTest::newRow("short count") << damaged("count.hex", start + ":0500200000EF7EF07F\n") << 2;
    QTest::newRow("no signature") << damaged("nosig.hex", start + ":0400200001EF7EF07E\n") << 0;
    QTest::newRow("ends above FBFF") << damaged("long.hex", start + signature + ":01FC00000003\n") << 0;
    QTest::newRow("no type 04") << damaged("no04.hex", signature) << 0;
    QTest::newRow("beyond the image") << damaged("beyond.hex", start + signature + ":01FDE800001A\n") << 3;
    QTest::newRow("empty file") << damaged("empty.hex", {}) << 0;
    QTest::newRow("missing file") << dir.filePath(QStringLiteral("missing.hex")) << 0;
    QTest::newRow("end at FBFF") << damaged("edge.hex", start + signature + ":01FBFF000005\n") << 0;
}

void FlashCliTest::checkAgreesWithLoader()
{
    QFETCH(QString, path);
    QFETCH(int, line);
    auto loader = windowLoader();
    const bool accepted = loader->loadFile(path);
    const QString binary = dir.filePath(QStringLiteral("image.bin"));
    QFile::remove(binary);

    const Run run = runCli({"--check", path, "--image-out", binary});
    QCOMPARE(run.exitCode, accepted ? 0 : 2);
    if (accepted) {
        const QString length = QString::asprintf("HEX-Datei OK!! Laenge: %li Byte\n", long(loader->imageLength()));
        QVERIFY2(run.out.startsWith(length), qPrintable(run.out));
        QVERIFY(run.out.contains(QStringLiteral("Bloecke: %1 ").arg(FlashWriter::blockTotalFor(loader->imageLength()))));
        QFile file(binary);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), firmwareBytes(loader->image(), FirmwareCellCount));
    } else {
        QCOMPARE(run.err, QStringLiteral("HEX-Datei nicht geeignet!!\n%1\n").arg(loader->errorString()));
        QCOMPARE(loader->errorLine(), line);
        QVERIFY(!QFile::exists(binary));
    }
}

void FlashCliTest::imageOutNotWritable()
{
    // A new file would take the place of a device or FIFO standing at the name.
    QTemporaryDir folder;
#ifdef Q_OS_WIN
    const QString special = QStringLiteral("NUL");
#else
    const QString special = folder.filePath(QStringLiteral("fifo"));
    QCOMPARE(::mkfifo(QFile::encodeName(special).constData(), 0600), 0);
#endif
    for (const QString &place : {MissingPort + "/image.bin", special}) {
        const Run run = runCli({"--check", HexData + "small.hex", "--image-out", place});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.startsWith(QStringLiteral("Abbild nicht geschrieben: ")), qPrintable(run.err));
    }
#ifndef Q_OS_WIN
    QVERIFY(!QFileInfo(special).isFile());
#endif
}

void FlashCliTest::loadWarningsAndJsonCheck_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("code"); // empty: refused

    QTest::newRow("above 64 KiB") << "above64k.hex" << "data_above_64k";
    QTest::newRow("after end-of-file") << "joined.hex" << "data_after_end_of_file";
    QTest::newRow("overwritten") << "patched.hex" << "data_overwritten";
    QTest::newRow("refused") << "segmented.hex" << "";
}

// On stderr as the loader words it; with --json also the first line, before any search.
void FlashCliTest::loadWarningsAndJsonCheck()
{
    QFETCH(QString, file);
    QFETCH(QString, code);
    auto loader = windowLoader();
    QCOMPARE(loader->loadFile(HexData + file), !code.isEmpty());

    if (!code.isEmpty()) {
        const Run check = runCli({"--check", HexData + file});
        QCOMPARE(check.exitCode, 0);
        QCOMPARE(check.err, loader->warnings().first().text + "\n");
    }

    const Run run = runCli({"--json", "--port", MissingPort, HexData + file});
    QCOMPARE(run.exitCode, code.isEmpty() ? 2 : 3);
    const QString last = run.out.trimmed().section(QLatin1Char('\n'), -1);
    const QJsonObject summary = QJsonDocument::fromJson(last.toUtf8()).object();
    QCOMPARE(summary.value("type").toString(), QStringLiteral("summary"));
    QCOMPARE(summary.value("exit").toInt(), run.exitCode);
    const QJsonObject line = QJsonDocument::fromJson(run.out.section(QLatin1Char('\n'), 0, 0).toUtf8()).object();
    QCOMPARE(line.value("type").toString(), QStringLiteral("check"));
    QCOMPARE(line.value("file").toString(), QDir::toNativeSeparators(QFileInfo(HexData + file).absoluteFilePath()));
    QCOMPARE(line.value("accepted").toBool(), !code.isEmpty());
    const QJsonArray warnings = line.value("warnings").toArray();
    if (code.isEmpty()) {
        QCOMPARE(line.value("message").toString(), loader->errorString());
        QVERIFY(warnings.isEmpty());
        return;
    }
    QCOMPARE(line.value("image_length").toInt(), loader->imageLength());
    QCOMPARE(warnings.size(), 1);
    const HexLoader::Warning expected = loader->warnings().first();
    const QJsonObject warning = warnings.first().toObject();
    QCOMPARE(warning.value("code").toString(), code);
    QCOMPARE(warning.value("message").toString(), expected.text);
    QCOMPARE(qint64(warning.value("address").toDouble()), expected.address);
    QCOMPARE(qint64(warning.value("bytes").toDouble()), expected.bytes);
    QCOMPARE(warning.value("line").toInt(), expected.line);
    QVERIFY2(run.err.contains(expected.text), qPrintable(run.err));
}

#ifdef Q_OS_WIN
// A COM name a driver made without entering it in the registry's list of
// serial ports: named, never opened. One digit: Wine's list of device
// names garbles the fifth character of a name.
void FlashCliTest::listShowsUnmappedComNames()
{
    const wchar_t *name = L"COM9";
    QVERIFY(::DefineDosDeviceW(0, name, L"Z:\\zirbelwerk-nowhere"));
    const Run run = runCli({"--list"});
    ::DefineDosDeviceW(DDD_REMOVE_DEFINITION, name, nullptr);
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.out.contains(QRegularExpression(QStringLiteral("^COM9\\b"), QRegularExpression::MultilineOption)),
             qPrintable(run.out));
}
#else
void FlashCliTest::listHonoursPortsVariable_data()
{
    QTest::addColumn<QString>("ports");
    QTest::addColumn<QStringList>("lines");

    QStringList many;
    for (int i = 1; i <= 52; ++i)
        many << QStringLiteral("/dev/p%1").arg(i);
    QTest::newRow("two") << "/dev/a:/dev/b" << QStringList {"COM1   /dev/a", "COM2   /dev/b"};
    QTest::newRow("gap keeps numbers") << "/dev/a::/dev/c" << QStringList {"COM1   /dev/a", "COM3   /dev/c"};
    QTest::newRow("none") << "" << QStringList {};
    QTest::newRow("only fifty searched") << many.join(QLatin1Char(':')) << QStringList {};
}

void FlashCliTest::listHonoursPortsVariable()
{
    QFETCH(QString, ports);
    QFETCH(QStringList, lines);
    const Run run = runCli({"--list"}, ports);
    QCOMPARE(run.exitCode, 0);
    const QStringList listed = comLines(run.out);
    if (ports.count(QLatin1Char(':')) > 50) {
        QCOMPARE(listed.size(), 50);
        QCOMPARE(listed.last(), QStringLiteral("COM50  /dev/p50"));
        QCOMPARE(run.err, QStringLiteral("ZIRBELWERK_PORTS nennt 52 Geraete; nur die ersten 50 (COM1 bis COM50) "
                                         "werden gefragt\n"));
    } else {
        QCOMPARE(listed, lines);
    }
    if (lines.isEmpty() && listed.isEmpty())
        QVERIFY(run.out.contains(QStringLiteral("Keine seriellen Ports")));
}
#endif

void FlashCliTest::wholeWrite_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("arguments"); // "SIM" stands for the instrument's device, on COM2
    QTest::addColumn<QString>("foundAs");       // "SIM" as above, "COM2 (SIM)" as the flasher shows COM2
    QTest::addColumn<QString>("warning");

    QTest::newRow("search, whole image") << "full.hex" << QStringList {} << "COM2 (SIM)" << "";
    QTest::newRow("port by path") << "small.hex" << QStringList {"--port", "SIM"} << "SIM" << "";
    QTest::newRow("port by COM name") << "wide.hex" << QStringList {"--port", "COM2"} << "COM2 (SIM)"
                                      << "4096 Byte ueber 64 KiB uebergangen, ab Adresse 0x10000 "
                                         "(erweiterte Adresse 0x0001, Zeile 11)\n";
    QTest::newRow("baud 115200") << "lower.hex" << QStringList {"--baud", "115200", "--port", "SIM"} << "SIM" << "";
}

void FlashCliTest::wholeWrite()
{
    QFETCH(QString, file);
    QFETCH(QStringList, arguments);
    QFETCH(QString, foundAs);
    QFETCH(QString, warning);
    SimInstrument sim({"--erase-ms", "0"});
    sim.setComNumber(2);
    QVERIFY(sim.start());
    auto loader = windowLoader();
    QVERIFY(loader->loadFile(HexData + file));
    const int blocks = FlashWriter::blockTotalFor(loader->imageLength());

    arguments.replaceInStrings(QStringLiteral("SIM"), sim.devicePath());
    const Run run = runCli(arguments << HexData + file, MissingPort + ":" + sim.devicePath());
    QCOMPARE(run.err, warning);
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(!hasControlCharacters(run.out), qPrintable(run.out));
    const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.first(), QString::asprintf("HEX-Datei OK!! Laenge: %li Byte", long(loader->imageLength())));
    foundAs.replace(QStringLiteral("COM2 (SIM)"), withDevice(QStringLiteral("COM2"), sim.devicePath()));
    QVERIFY(lines.contains(QStringLiteral("HW gefunden an: ") + foundAs.replace("SIM", sim.devicePath())));
    QVERIFY(lines.contains(QStringLiteral("FW: V1.23")));
    QCOMPARE(lines.at(lines.size() - 3), QStringLiteral("Block: %1 / %1").arg(blocks));
    QCOMPARE(lines.at(lines.size() - 2), QStringLiteral("Flash neu beschrieben!"));
    QVERIFY(lines.last().startsWith(QStringLiteral("Gesamtzeit: ")));

    QVERIFY(sim.waitForWrites(1, 5s));
    QCOMPARE(sim.violations(), QStringList());
    QCOMPARE(sim.report().value(QStringLiteral("blocks")), QString::number(blocks));
    QByteArray expected(65536, char(0xFF));
    expected.replace(0, blocks * 64, firmwareBytes(loader->image(), blocks * 64));
    QCOMPARE(sim.memory(), expected);
}

void FlashCliTest::refusedFileTouchesNoDevice()
{
    SimInstrument sim;
    QVERIFY(sim.start());
    const QString file = damaged("refused.hex", ":020000040000FA\n:0400200000EF7EF07F\n:0100300000CE\n");
    const Run run = runCli({file}, sim.devicePath());
    QCOMPARE(run.exitCode, 2);
    QCOMPARE(run.err, QStringLiteral("HEX-Datei nicht geeignet!!\nZeile 3: Pruefsumme falsch\n"));
    QVERIFY(run.out.isEmpty());
    sim.stop();
    QCOMPARE(sim.report().value(QStringLiteral("queries"), QStringLiteral("0")), QStringLiteral("0"));
}

void FlashCliTest::noInstrument_data()
{
    QTest::addColumn<QStringList>("simArguments"); // empty: no simulator
    QTest::addColumn<QString>("port");             // --port value, "SIM" for the simulator; empty: search
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("note");             // expected on stdout or stderr, may be empty

    QTest::newRow("one pass, no ports") << QStringList {} << "" << "Keine HW gefunden an COM1 bis COM50" << "";
    QTest::newRow("silent instrument") << QStringList {"--no-answer"} << "SIM" << "Keine HW gefunden an SIM" << "";
    QTest::newRow("wrong tag") << QStringList {"--reply-hex", "5A576B623132330D"} << "SIM"
                               << "Keine HW gefunden an SIM" << "Antwort nicht erkannt (Kennung \"kb\", Version: 123)";
    QTest::newRow("version 099") << QStringList {"--reply-hex", "5A574B423039390D"} << "SIM"
                                 << "Keine HW gefunden an SIM" << "Version: 099";
    QTest::newRow("missing port") << QStringList {} << MissingPort << "Keine HW gefunden an " + MissingPort
                                  << "Port " + MissingPort + " ist nicht vorhanden";
}

void FlashCliTest::noInstrument()
{
    QFETCH(QStringList, simArguments);
    QFETCH(QString, port);
    QFETCH(QString, message);
    QFETCH(QString, note);
    SimInstrument sim(simArguments);
    if (!simArguments.isEmpty()) {
        QVERIFY(sim.start());
        port.replace(QStringLiteral("SIM"), sim.devicePath());
        message.replace(QStringLiteral("SIM"), sim.devicePath());
    }
    QStringList arguments {HexData + "small.hex"};
    if (!port.isEmpty())
        arguments << "--port" << port;

    const Run run = runCli(arguments, QStringLiteral(""));
    QCOMPARE(run.exitCode, 3);
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    QVERIFY2((run.out + run.err).contains(note), qPrintable(run.out + run.err));
    QVERIFY(!hasControlCharacters(run.out));
    if (!simArguments.isEmpty())
        QCOMPARE(sim.report().value(QStringLiteral("writes"), QStringLiteral("0")), QStringLiteral("0"));
}

void FlashCliTest::failedWrite_data()
{
    QTest::addColumn<QStringList>("simArguments");
    QTest::addColumn<QString>("message");

    QTest::newRow("goes silent") << QStringList {"--silent-at", "2"}
                                 << "Keine Antwort von der HW, Abbruch bei Block 2 / 4";
    QTest::newRow("hangs up") << QStringList {"--hangup-at", "3"} << "Verbindung zur HW unterbrochen";
}

void FlashCliTest::failedWrite()
{
    QFETCH(QStringList, simArguments);
    QFETCH(QString, message);
    SimInstrument sim(simArguments << "--erase-ms" << "0");
    QVERIFY(sim.start());
    const Run run = runCli({"--port", sim.devicePath(), HexData + "small.hex"});
    QCOMPARE(run.exitCode, 4);
    QVERIFY2(run.err.startsWith(message), qPrintable(run.err));
    QVERIFY(!run.out.contains(QStringLiteral("Flash neu beschrieben!")));
    QVERIFY(!hasControlCharacters(run.out));
}

void FlashCliTest::probedPortsCloseCleanly_data()
{
    QTest::addColumn<QStringList>("simArguments");
    QTest::addColumn<QStringList>("arguments"); // "SIM" stands for the instrument's port, COM2
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("expected"); // on stdout or stderr

    QTest::newRow("--info, found") << QStringList {} << QStringList {"--info", "-p", "SIM"} << 0 << "FW: V1.23";
    QTest::newRow("--info --json, search") << QStringList {} << QStringList {"--json", "--info"} << 0
                                           << "\"found\":1";
    QTest::newRow("--info, reply refused") << QStringList {"--reply-hex", "5A576B623132330D"}
                                           << QStringList {"--info", "-p", "SIM"} << 3 << "Keine HW gefunden";
    QTest::newRow("--info, silent") << QStringList {"--no-answer"} << QStringList {"--info", "-p", "SIM"} << 3
                                    << "Keine HW gefunden";
    QTest::newRow("--all, written") << QStringList {"--erase-ms", "0"} << QStringList {"--all", HexData + "small.hex"}
                                    << 0 << "geschrieben";
}

// The probe closes its port from inside the port's own signals; the
// flasher ends as it says, without a crash after its last line (-1).
void FlashCliTest::probedPortsCloseCleanly()
{
    QFETCH(QStringList, simArguments);
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, expected);
    SimInstrument sim(simArguments);
    sim.setComNumber(2);
    QVERIFY(sim.start());
    arguments.replaceInStrings(QStringLiteral("SIM"), sim.devicePath());
    const Run run = runCli(arguments, MissingPort + ":" + sim.devicePath());
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2((run.out + run.err).contains(expected), qPrintable(run.out + run.err));
}

// A COM port in no list of the system's (under Wine, one linked beyond
// those Wine made for the machine's ports): it was written again every
// two seconds.
void FlashCliTest::watchWritesAnInstrumentLeftInPlaceOnce()
{
    SimInstrument sim({"--erase-ms", "0"});
    sim.setComNumber(40);
    QVERIFY(sim.start());
#ifdef Q_OS_WIN
    QVERIFY(!registryComNames().contains(sim.devicePath()));
#endif
    QProcess flasher;
    flasher.start(QStringLiteral(ZW_FLASH_CLI), {"--watch", "-p", sim.devicePath(), HexData + "small.hex"});
    QVERIFY(sim.waitForWrites(1, 20s));
    QTest::qWait(4000);
    flasher.kill();
    flasher.waitForFinished();
    QCOMPARE(sim.report().value(QStringLiteral("writes")), QStringLiteral("1"));
}

#ifndef Q_OS_WIN
void FlashCliTest::terminalShowsProgressBar()
{
    SimInstrument sim({"--erase-ms", "0", "--block-ms", "1"});
    QVERIFY(sim.start());
    PtyPeer terminal;
    QVERIFY(terminal.isValid());
    QProcess process;
    process.setStandardOutputFile(terminal.devicePath());
    process.start(QStringLiteral(ZW_FLASH_CLI), {"--port", sim.devicePath(), HexData + "full.hex"});
    QVERIFY2(process.waitForStarted(), qPrintable(process.errorString()));
    QByteArray shown;
    // Read while it runs, so a full terminal buffer never holds it up.
    while (process.state() != QProcess::NotRunning && !process.waitForFinished(10))
        shown += terminal.receive(1 << 20, 50ms);
    shown += terminal.receive(1 << 20, 100ms);
    QCOMPARE(process.exitCode(), 0);

    const QString text = QString::fromLocal8Bit(shown);
    QVERIFY2(text.contains(QRegularExpression(QStringLiteral("\\rBlock: \\d+ / 1008 \\[#*-*\\]"))), qPrintable(text));
    QVERIFY(text.contains(QStringLiteral("Byte/s, noch ")));
    // The bar ends full, then the outcome and the time it took.
    QVERIFY2(text.contains(QStringLiteral("Block: 1008 / 1008 [%1]").arg(QString(30, QLatin1Char('#')))), qPrintable(text));
    QVERIFY(text.contains(QRegularExpression(QStringLiteral("\nFlash neu beschrieben!\nGesamtzeit: [0-9.]+ s\n"))));
}
#endif

QTEST_GUILESS_MAIN(FlashCliTest)
#include "tst_flashcli.moc"
