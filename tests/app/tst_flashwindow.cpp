#include "FileDialogAnswer.h"
#include "SimInstrument.h"
#include "WindowProbe.h"
#include "image/HexLoader.h"
#include "serial/Modem.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <iterator>
#include <memory>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#else
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>
#endif

using namespace std::chrono_literals;

namespace {

// With the drive under Windows, as the file dialog wants it.
const QString HexData = QFileInfo(QStringLiteral(ZW_TEST_DATA "/hex")).absoluteFilePath() + QLatin1Char('/');
constexpr int FoundTimeoutMs = 5000;
constexpr int WriteTimeoutMs = 60000;

QColor textColour(const QLabel *label)
{
    return label->palette().color(QPalette::Active, QPalette::WindowText);
}

void loadThroughDialog(VELDfwloader &window, const QString &fileName, FileDialogAnswer *answer = nullptr)
{
    FileDialogAnswer fallback(fileName);
    QMetaObject::invokeMethod(&window, "on_pushButton_clicked", Qt::DirectConnection);
    QVERIFY(answer ? answer->answered() : fallback.answered());
}

// The window with the instrument found on COM1.
std::unique_ptr<VELDfwloader> windowOn(const QString &ports)
{
    qputenv("ZIRBELWERK_PORTS", ports.toLocal8Bit());
    auto window = std::make_unique<VELDfwloader>();
    window->show();
    return window;
}

std::unique_ptr<VELDfwloader> windowWithInstrument(const SimInstrument &sim)
{
    return windowOn(sim.devicePath());
}

// A simulator's line by a name that goes with it: once it has ended, its
// pseudo-terminal's number may be another test's instrument, which a window
// searching again would find. Under Wine, its COM port goes with it already.
#ifdef Q_OS_WIN
QStringList linkedAt(const QTemporaryDir &, const QStringList &simArguments)
{
    return simArguments;
}

QString lineOf(const SimInstrument &sim, const QTemporaryDir &)
{
    return sim.devicePath();
}
#else
QStringList linkedAt(const QTemporaryDir &links, const QStringList &simArguments)
{
    return simArguments + QStringList {"--link", links.filePath(QStringLiteral("line"))};
}

QString lineOf(const SimInstrument &, const QTemporaryDir &links)
{
    return links.filePath(QStringLiteral("line"));
}
#endif

QLabel *closeRefusedNote(QStatusBar *bar)
{
    for (QLabel *label : bar->findChildren<QLabel *>())
        if (label->text() == QStringLiteral("Beenden erst nach dem Flash schreiben!"))
            return label;
    return nullptr;
}

QString recordPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
            + QStringLiteral("/zirbelwerk/flash-record.jsonl");
}

QList<QJsonObject> records()
{
    QFile file(recordPath());
    QList<QJsonObject> entries;
    if (file.open(QIODevice::ReadOnly)) {
        while (!file.atEnd())
            entries << QJsonDocument::fromJson(file.readLine()).object();
    }
    return entries;
}

QByteArray sha256Hex(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly)
            ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex()
            : QByteArray();
}

// CPU time of this process, user and system.
std::chrono::milliseconds cpuTime()
{
#ifdef Q_OS_WIN
    FILETIME created, ended, kernel, user;
    ::GetProcessTimes(::GetCurrentProcess(), &created, &ended, &kernel, &user);
    const auto ms = [](const FILETIME &t) { return ((qint64(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000; };
    return std::chrono::milliseconds(ms(kernel) + ms(user));
#else
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval &t) { return t.tv_sec * 1000 + t.tv_usec / 1000; };
    return std::chrono::milliseconds(ms(usage.ru_utime) + ms(usage.ru_stime));
#endif
}

// Waits until the window has found the instrument, then loads the file.
bool foundAndLoaded(VELDfwloader &window, Ui::ZirbelWerk &ui, const QString &file)
{
    if (!QTest::qWaitFor([&] { return ui.pushButton->isEnabled(); }, FoundTimeoutMs))
        return false;
    FileDialogAnswer answer(file);
    QMetaObject::invokeMethod(&window, "on_pushButton_clicked", Qt::DirectConnection);
    return answer.answered();
}

// A line that went silent or away must not keep the event loop busy.
bool staysQuietForASecond()
{
    const auto before = cpuTime();
    QTest::qWait(1000);
    const auto spent = cpuTime() - before;
    if (spent >= 300ms)
        qWarning("%lld ms CPU in one idle second", static_cast<long long>(spent.count()));
    return spent < 300ms;
}

} // namespace

class FlashWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void loadOutcomes();
    void loadWarnings_data();
    void loadWarnings();
    void wholeRoad();
    void faultyInstrumentEndsWriteInRed_data();
    void faultyInstrumentEndsWriteInRed();
    void stalledWriteShowsLatestCount();
    void writeWithoutInstrumentIsRefused();
    void fileArgumentIsLoaded_data();
    void fileArgumentIsLoaded();
    void newInstrumentFoundAfterHangUp_data();
    void newInstrumentFoundAfterHangUp();
#ifdef Q_OS_WIN
    void logOffWaitsForTheWrite();
#else
    void stopSignalWaitsForTheWrite();
#endif

private:
    QTemporaryDir home;
};

// Settings and the flash record go to a private folder, not the user's.
// Windows keeps settings in the registry: the prefix Wine runs in is the test's.
void FlashWindowTest::initTestCase()
{
    QVERIFY(home.isValid());
#ifdef Q_OS_WIN
    QStandardPaths::setTestModeEnabled(true);
#else
    qputenv("XDG_CONFIG_HOME", home.filePath("config").toLocal8Bit());
#endif
}

void FlashWindowTest::init()
{
#ifdef Q_OS_WIN
    QDir(QFileInfo(recordPath()).path()).removeRecursively();
#else
    QDir(home.filePath("share")).removeRecursively();
    qputenv("XDG_DATA_HOME", home.filePath("share").toLocal8Bit());
#endif
}

void FlashWindowTest::loadOutcomes()
{
    qputenv("ZIRBELWERK_PORTS", "");
    VELDfwloader window;
    WindowProbe probe(window);
    auto &ui = probe.ui();
    window.show();

    FileDialogAnswer cancel({});
    loadThroughDialog(window, {}, &cancel);
    QCOMPARE(cancel.caption, QStringLiteral("HEX-Datei Laden"));
    QCOMPARE(cancel.nameFilters, QStringList {"HEX-Datei (*.hex)"});
    QCOMPARE(cancel.directory, QDir::homePath());
    QCOMPARE(ui.label->text(), QStringLiteral("HEX-Datei Laden, Abbruch!"));
    QCOMPARE(textColour(ui.label), QColor(Qt::red));
    QVERIFY(!ui.pushButton_2->isEnabled());

    loadThroughDialog(window, HexData + "small.hex");
    QCOMPARE(ui.label->text(), QStringLiteral("HEX-Datei OK!! Laenge: 255 Byte"));
    QCOMPARE(textColour(ui.label), QColor(Qt::darkGreen));
    QVERIFY(ui.pushButton_2->isEnabled());
    QCOMPARE(ui.label->toolTip(), QString());
    const FirmwareImage accepted = probe.image();
    QCOMPARE(accepted[0x20], 0x00);
    QCOMPARE(accepted[0x23], 0xF0);

    // One damaged record refuses the whole file and leaves the accepted image.
    QTemporaryDir dir;
    QFile damaged(dir.filePath(QStringLiteral("damaged.hex")));
    QVERIFY(damaged.open(QIODevice::WriteOnly));
    damaged.write(":020000040000FA\n:0400200000EF7EF0AB\n:00000001FF\n");
    damaged.close();
    loadThroughDialog(window, damaged.fileName());
    QCOMPARE(ui.label->text(), QStringLiteral("HEX-Datei nicht geeignet!!"));
    QCOMPARE(textColour(ui.label), QColor(Qt::red));
    QVERIFY(ui.label->toolTip().contains(QStringLiteral("Zeile 2")));
    QVERIFY(!ui.pushButton_2->isEnabled());
    QVERIFY(probe.image() == accepted);
    QCOMPARE(probe.imageLength(), 255);

    // Cut short before its end-of-file record: accepted, with a warning.
    QFile cut(dir.filePath(QStringLiteral("cut.hex")));
    QFile small(HexData + "small.hex");
    QVERIFY(small.open(QIODevice::ReadOnly) && cut.open(QIODevice::WriteOnly));
    cut.write(small.readAll().replace(":00000001FF", ""));
    cut.close();
    loadThroughDialog(window, cut.fileName());
    QCOMPARE(ui.label->text(), QStringLiteral("HEX-Datei OK!! Laenge: 255 Byte"));
    QCOMPARE(textColour(ui.label), QColor(Qt::darkGreen));
    QVERIFY2(ui.label->toolTip().contains(QStringLiteral(":00000001FF fehlt")), qPrintable(ui.label->toolTip()));
}

void FlashWindowTest::loadWarnings_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("warning");

    QTest::newRow("above 64 KiB") << "above64k.hex" << "14 Byte ueber 64 KiB uebergangen, ab Adresse 0x300000";
    QTest::newRow("after end-of-file") << "joined.hex" << "64 Byte nach dem Endesatz (Zeile 18) trotzdem geladen";
    QTest::newRow("overwritten") << "patched.hex" << "zuerst Adresse 0x0030 (Zeile 19)";
}

// Accepted in green, with the loader's warning as the tool tip and its image.
void FlashWindowTest::loadWarnings()
{
    QFETCH(QString, file);
    QFETCH(QString, warning);
    qputenv("ZIRBELWERK_PORTS", "");
    VELDfwloader window;
    WindowProbe probe(window);
    window.show();
    HexLoader loader(emptyFirmwareImage(), 0);
    QVERIFY(loader.loadFile(HexData + file));

    loadThroughDialog(window, HexData + file);
    QCOMPARE(probe.ui().label->text(), QStringLiteral("HEX-Datei OK!! Laenge: %1 Byte").arg(loader.imageLength()));
    QCOMPARE(textColour(probe.ui().label), QColor(Qt::darkGreen));
    QCOMPARE(probe.ui().label->toolTip(), loader.warnings().first().text);
    QVERIFY2(probe.ui().label->toolTip().contains(warning), qPrintable(probe.ui().label->toolTip()));
    QVERIFY(probe.image() == loader.image());
}

void FlashWindowTest::wholeRoad()
{
    SimInstrument sim({"--erase-ms", "300", "--block-ms", "1"});
    QVERIFY(sim.start());
    auto window = windowWithInstrument(sim);
    WindowProbe probe(*window);
    auto &ui = probe.ui();
    QTRY_COMPARE_WITH_TIMEOUT(ui.label_3->text(), QStringLiteral("FW: V1.23"), FoundTimeoutMs);

    FileDialogAnswer answer(HexData + "full.hex");
    QTest::mouseClick(ui.pushButton, Qt::LeftButton);
    QVERIFY(answer.answered());
    QCOMPARE(ui.label->text(), QStringLiteral("HEX-Datei OK!! Laenge: 64511 Byte"));

    QStringList statusTexts;
    connect(ui.statusBar, &QStatusBar::messageChanged, this, [&](const QString &text) {
        if (statusTexts.isEmpty() || statusTexts.last() != text)
            statusTexts << text;
    });
    QTest::mouseClick(ui.pushButton_2, Qt::LeftButton);
    QVERIFY(!ui.pushButton->isEnabled());
    QVERIFY(!ui.pushButton_2->isEnabled());
    // A close during the write is refused, with a note.
    QTRY_VERIFY(ui.label_2->text().startsWith(QStringLiteral("Block: ")));
    QVERIFY(!window->close());
    QVERIFY(window->isVisible());
    QLabel *note = closeRefusedNote(ui.statusBar);
    QVERIFY(note && note->isVisible());
    const QString blockAtRefusal = ui.label_2->text();
    QTRY_VERIFY(ui.label_2->text() != blockAtRefusal);
    QVERIFY(note->isVisible());

    QTRY_COMPARE_WITH_TIMEOUT(ui.statusBar->currentMessage(), QStringLiteral("Flash neu beschrieben!"), WriteTimeoutMs);
    QCOMPARE(statusTexts.first(), QStringLiteral("Flash schreiben starten, bitte warten!"));
    QVERIFY(statusTexts.contains(QStringLiteral("Flash wird beschrieben!")));
    QCOMPARE(ui.label_2->text(), QStringLiteral("Block: 1008 / 1008"));
    QCOMPARE(textColour(ui.label_2), QColor(Qt::darkGreen));
    QCOMPARE(ui.label_3->text(), QStringLiteral("FW: neu, Exit Programm"));
    QVERIFY(ui.pushButton->isEnabled());
    QVERIFY(ui.pushButton_2->isEnabled());
    QVERIFY(!note->isVisible());

    QVERIFY(sim.waitForWrites(1, 5s));
    QCOMPARE(sim.violations(), QStringList());
    QByteArray expected(65536, char(0xFF));
    for (int i = 0; i < 1008 * 64; ++i)
        expected[i] = char(probe.image()[size_t(i)]);
    QCOMPARE(sim.memory(), expected);

    // A record whose lock is busy for a moment is written a little later.
    QTRY_COMPARE(records().size(), 1);
    const QList<QJsonObject> lines = records();
    const QJsonObject &entry = lines.first();
    QCOMPARE(entry.size(), 23);
    QCOMPARE(entry["program"].toString(), "zirbelwerk");
    QVERIFY(entry.contains("station") && entry["station"].isNull());
    QCOMPARE(entry["port"].toString(), "COM1");
    QCOMPARE(entry["device"].toString(), sim.devicePath());
    QCOMPARE(entry["firmware_before"].toString(), "V1.23");
    QCOMPARE(entry["file"].toString(), QDir::toNativeSeparators(HexData + "full.hex"));
    QCOMPARE(entry["file_size"].toInteger(), QFileInfo(HexData + "full.hex").size());
    QCOMPARE(entry["file_sha256"].toString().toLatin1(), sha256Hex(HexData + "full.hex"));
    QCOMPARE(entry["image_length"].toInt(), 64511);
    QCOMPARE(entry["blocks"].toInt(), 1008);
    QCOMPARE(entry["block"].toInt(), 1008);
    QCOMPARE(entry["result"].toString(), "written");
    QVERIFY(entry["failure"].isNull());
    QCOMPARE(entry["message"].toString(), "Flash neu beschrieben!");
    QVERIFY(entry["seconds"].toDouble() > 0.3);

    // Nothing of this write stays beside the next file or the next write.
    QTemporaryDir dir;
    QFile tooLong(dir.filePath(QStringLiteral("too-long.hex")));
    QVERIFY(tooLong.open(QIODevice::WriteOnly));
    tooLong.write(":020000040000FA\n:01FC00000003\n:00000001FF\n");
    tooLong.close();
    loadThroughDialog(*window, tooLong.fileName());
    QCOMPARE(ui.label->text(), QStringLiteral("HEX-Datei nicht geeignet!!"));
    QCOMPARE(ui.label_2->text(), QString());
    QCOMPARE(ui.statusBar->currentMessage(), QStringLiteral("HW gefunden an: COM1"));
    QCOMPARE(ui.label_3->text(), QString());
    loadThroughDialog(*window, HexData + "small.hex");
    for (int write = 2; write <= 3; ++write) {
        QTest::mouseClick(ui.pushButton_2, Qt::LeftButton);
        QCOMPARE(ui.label_2->text(), QString());
        QCOMPARE(textColour(ui.label_2), window->palette().color(QPalette::Active, QPalette::WindowText));
        QCOMPARE(ui.label_3->text(), QString());
        QVERIFY(sim.waitForWrites(write, 10s));
        QTRY_COMPARE(ui.label_3->text(), QStringLiteral("FW: neu, Exit Programm"));
    }
    QVERIFY(window->close());
}

void FlashWindowTest::faultyInstrumentEndsWriteInRed_data()
{
    QTest::addColumn<QStringList>("simArguments");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shortMessage");
    QTest::addColumn<bool>("lineGone");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("status");
    QTest::newRow("silent") << QStringList {"--erase-ms", "0", "--silent-at", "2"}
                            << "Keine Antwort von der HW, Abbruch bei Block 2 / 4" << "Abbruch bei Block 2 / 4" << false
                            << "no_reply" << "Keine Antwort - HW aus- und einschalten";
    QTest::newRow("hangs up") << QStringList {"--erase-ms", "0", "--hangup-at", "3"}
                              << "Verbindung zur HW unterbrochen, Abbruch bei Block 3 / 4" << "Abbruch bei Block 3 / 4"
                              << true << "line_lost" << "Verbindung unterbrochen - HW aus- und einschalten";
}

void FlashWindowTest::faultyInstrumentEndsWriteInRed()
{
    QFETCH(QStringList, simArguments);
    QFETCH(QString, message);
    QFETCH(QString, shortMessage);
    QFETCH(bool, lineGone);
    QFETCH(QString, code);
    QFETCH(QString, status);
    QTemporaryDir links;
    SimInstrument sim(linkedAt(links, simArguments));
    QVERIFY(sim.start());
    auto window = windowOn(lineOf(sim, links));
    WindowProbe probe(*window);
    auto &ui = probe.ui();
    QVERIFY(foundAndLoaded(*window, ui, HexData + "small.hex"));

    QStringList statusTexts;
    connect(ui.statusBar, &QStatusBar::messageChanged, this, [&](const QString &text) { statusTexts << text; });
    int ticks = 0;
    QTimer heartbeat;
    connect(&heartbeat, &QTimer::timeout, this, [&] { ++ticks; });
    heartbeat.start(100);
    QTest::mouseClick(ui.pushButton_2, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(ui.label_2->text(), shortMessage, WriteTimeoutMs);
    if (!lineGone)
        QVERIFY(ticks >= 20); // the window kept running through the 3 s wait
    QCOMPARE(textColour(ui.label_2), QColor(Qt::red));
    // What to do now, in short where it is seen, whole on hovering.
    const QString advice = QStringLiteral(". Die HW wartet wohl noch mitten im Schreiben: "
                                          "Geraet aus- und einschalten, dann neu schreiben");
    // A lost line has the search going again soon after.
    QVERIFY2(statusTexts.contains(status), qPrintable(statusTexts.join(QLatin1Char('|'))));
    if (!lineGone)
        QCOMPARE(ui.statusBar->currentMessage(), status);
    QCOMPARE(ui.label_2->toolTip(), message + advice);
    QVERIFY(ui.label_3->text() != QStringLiteral("FW: neu, Exit Programm"));
    QVERIFY(ui.pushButton->isEnabled());
    QVERIFY(ui.pushButton_2->isEnabled());
    QTRY_COMPARE(records().size(), 1);
    QCOMPARE(records().value(0)["failure"].toString(), code);
    QCOMPARE(records().value(0)["message"].toString(), message + advice);

    // Neither a silent nor a vanished line may keep the event loop busy.
    QVERIFY(staysQuietForASecond());
    if (lineGone) {
        QTest::mouseClick(ui.pushButton_2, Qt::LeftButton);
        QCOMPARE(ui.label_2->text(), QStringLiteral("Keine Verbindung zur HW"));
        QCOMPARE(ui.statusBar->currentMessage(), QStringLiteral("Keine Verbindung zur HW, Flash nicht beschrieben"));
    }
}

// The label may skip counts while blocks come quickly, but not the last
// one before the instrument falls silent.
void FlashWindowTest::stalledWriteShowsLatestCount()
{
    SimInstrument sim({"--erase-ms", "0", "--silent-at", "3"});
    QVERIFY(sim.start());
    auto window = windowWithInstrument(sim);
    WindowProbe probe(*window);
    auto &ui = probe.ui();
    QVERIFY(foundAndLoaded(*window, ui, HexData + "small.hex"));
    QTest::mouseClick(ui.pushButton_2, Qt::LeftButton);
    // Well within the 3 s the window waits for block 3.
    QTRY_COMPARE_WITH_TIMEOUT(ui.label_2->text(), QStringLiteral("Block: 2 / 4"), 2000);
}

void FlashWindowTest::writeWithoutInstrumentIsRefused()
{
    qputenv("ZIRBELWERK_PORTS", "");
    VELDfwloader window;
    WindowProbe probe(window);
    loadThroughDialog(window, HexData + "small.hex");
    QTest::mouseClick(probe.ui().pushButton_2, Qt::LeftButton);
    QCOMPARE(probe.ui().label_2->text(), QStringLiteral("Keine Verbindung zur HW"));
    QCOMPARE(probe.ui().label_2->toolTip(), QStringLiteral("Keine Verbindung zur HW, Flash nicht beschrieben"));
    QCOMPARE(textColour(probe.ui().label_2), QColor(Qt::red));
    QVERIFY(probe.ui().pushButton_2->isEnabled());
    QTRY_COMPARE(records().size(), 1);
    const QJsonObject entry = records().value(0);
    QCOMPARE(entry["result"].toString(), "failed");
    QCOMPARE(entry["failure"].toString(), "not_connected");
    QCOMPARE(entry["block"].toInt(), 0);
    QVERIFY(entry["port"].isNull() && entry["firmware_before"].isNull());
    QCOMPARE(entry["file_sha256"].toString().toLatin1(), sha256Hex(HexData + "small.hex"));

    // A record that cannot be written is told, and the outcome stays.
    QVERIFY(QFile::remove(recordPath()));
    QVERIFY(QDir().mkpath(recordPath()));
    QTest::mouseClick(probe.ui().pushButton_2, Qt::LeftButton);
    QCOMPARE(probe.ui().statusBar->currentMessage(), QStringLiteral("Keine Verbindung zur HW, Flash nicht beschrieben"));
    QTRY_VERIFY2(probe.ui().label_3->toolTip().startsWith("Flash-Protokoll nicht geschrieben: "
                                                          + QDir::toNativeSeparators(recordPath())),
                 qPrintable(probe.ui().label_3->toolTip()));
}

void FlashWindowTest::fileArgumentIsLoaded_data()
{
    QTest::addColumn<QString>("argument");
    QTest::newRow("relative") << QStringLiteral("small.hex");
    QTest::newRow("absolute, the system's form") << QDir::toNativeSeparators(HexData + "small.hex");
}

// As "Open with" starts the window: the file is loaded as if picked, and
// the search runs as usual.
void FlashWindowTest::fileArgumentIsLoaded()
{
    QFETCH(QString, argument);
    SimInstrument sim({"--erase-ms", "0"});
    QVERIFY(sim.start());
    auto window = windowWithInstrument(sim);
    WindowProbe probe(*window);
    auto &ui = probe.ui();
    const QString folder = QDir::currentPath();
    QVERIFY(QDir::setCurrent(HexData));
    window->loadFileArgument({QStringLiteral("zirbelwerk"), argument});
    QVERIFY(QDir::setCurrent(folder));
    QCOMPARE(ui.label->text(), QStringLiteral("HEX-Datei OK!! Laenge: 255 Byte"));
    QVERIFY(ui.pushButton_2->isEnabled());
    QVERIFY(!ui.pushButton->isEnabled());

    QTRY_COMPARE_WITH_TIMEOUT(ui.statusBar->currentMessage(), QStringLiteral("HW gefunden an: COM1"), FoundTimeoutMs);
    QTest::mouseClick(ui.pushButton_2, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(ui.statusBar->currentMessage(), QStringLiteral("Flash neu beschrieben!"), WriteTimeoutMs);
    QTRY_COMPARE(records().size(), 1);
    QCOMPARE(records().value(0)["file"].toString(), QDir::toNativeSeparators(HexData + "small.hex"));
}

void FlashWindowTest::newInstrumentFoundAfterHangUp_data()
{
    QTest::addColumn<QStringList>("simArguments");
    QTest::addColumn<bool>("write");
    QTest::addColumn<bool>("lineStays"); // until switched off
    QTest::newRow("idle") << QStringList() << false << false;
    QTest::newRow("hang-up in a write") << QStringList {"--erase-ms", "0", "--hangup-at", "3"} << true << false;
    QTest::newRow("silent in a write") << QStringList {"--erase-ms", "0", "--silent-at", "2"} << true << true;
}

// Switched off, the instrument is searched for again from COM1, as at
// start, and found when it is back, switched on.
void FlashWindowTest::newInstrumentFoundAfterHangUp()
{
    QFETCH(QStringList, simArguments);
    QFETCH(bool, write);
    QFETCH(bool, lineStays);
    QTemporaryDir links;
    SimInstrument first(linkedAt(links, simArguments));
    first.setComNumber(2);
    QVERIFY(first.start());
    qputenv("ZIRBELWERK_PORTS", ("/dev/zirbelwerk-missing:" + lineOf(first, links)).toLocal8Bit());
    VELDfwloader window;
    WindowProbe probe(window);
    auto &ui = probe.ui();
    probe.portList() = QStringList {"COM1", "COM2", "COM3"}; // a short pass
    probe.flashWriter().setReplyTimeouts(FlashWriter::FirstReplyTimeout, 500ms);
    window.show();
    QTRY_COMPARE_WITH_TIMEOUT(ui.statusBar->currentMessage(), QStringLiteral("HW gefunden an: COM2"), FoundTimeoutMs);
    QList<QPair<QString, qint64>> timeline;
    QElapsedTimer clock;
    clock.start();
    connect(ui.statusBar, &QStatusBar::messageChanged, this,
            [&](const QString &text) { timeline << qMakePair(text, clock.elapsed()); });
    if (write) {
        QVERIFY(foundAndLoaded(window, ui, HexData + "small.hex"));
        QTest::mouseClick(ui.pushButton_2, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(ui.label_2->text().startsWith(QStringLiteral("Abbruch bei Block")), WriteTimeoutMs);
    }
    if (lineStays) {
        // Mid-write, the instrument would take queries for data.
        QTest::qWait(500);
        QVERIFY(!probe.searchTimer()->isActive());
        QVERIFY(probe.modem()->device());
    }
    qputenv("ZIRBELWERK_PORTS", "/dev/zirbelwerk-missing");
    first.stop();
    QTRY_COMPARE(ui.label_3->text(), QStringLiteral("Verbindung zur HW unterbrochen"));
    QVERIFY(staysQuietForASecond());

    SimInstrument second({"--reply-hex", "5A574B423132340D"});
    second.setComNumber(1);
    QVERIFY(second.start());
    qputenv("ZIRBELWERK_PORTS", second.devicePath().toLocal8Bit());
    QTRY_COMPARE_WITH_TIMEOUT(ui.label_3->text(), QStringLiteral("FW: V1.24"), FoundTimeoutMs);
    QCOMPARE(ui.statusBar->currentMessage(), QStringLiteral("HW gefunden an: COM1"));
    QVERIFY(ui.pushButton->isEnabled());
    // The usual first step, 200 ms after the loss was told.
    const auto searching = std::find_if(timeline.cbegin(), timeline.cend(),
                                        [](const auto &event) { return event.first.startsWith("Suche HW :"); });
    QVERIFY(searching != timeline.cend() && searching != timeline.cbegin());
    QCOMPARE(searching->first, QStringLiteral("Suche HW :COM1"));
    const auto told = std::prev(searching);
    // Lost in a write: the write's outcome may tell it first.
    const QStringList lossTexts {"Verbindung zur HW unterbrochen", "Verbindung unterbrochen - HW aus- und einschalten"};
    QVERIFY2(lossTexts.contains(told->first), qPrintable(told->first));
    QVERIFY2(searching->second - told->second >= 199, qPrintable(QString::number(searching->second - told->second)));

    if (write) {
        QTest::mouseClick(ui.pushButton_2, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(ui.statusBar->currentMessage(), QStringLiteral("Flash neu beschrieben!"),
                                  WriteTimeoutMs);
        QVERIFY(second.waitForWrites(1, 5s));
    }
}

#ifdef Q_OS_WIN
namespace {

// What Windows asks every window at log-off: "may the session end?", then
// (refused) that it goes on.
LRESULT askToEndSession(HWND window)
{
    const LRESULT answer = ::SendMessageW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF);
    ::SendMessageW(window, WM_ENDSESSION, FALSE, ENDSESSION_LOGOFF);
    return answer;
}

} // namespace

void FlashWindowTest::logOffWaitsForTheWrite()
{
    if (QGuiApplication::platformName() != QStringLiteral("windows"))
        QSKIP("Only Windows' own platform hears of the session's end (tst_flashwindow_logoff)");
    // Qt's own file dialog, the one the test answers.
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    SimInstrument sim({"--erase-ms", "500", "--block-ms", "20"});
    QVERIFY(sim.start());
    auto window = windowWithInstrument(sim);
    WindowProbe probe(*window);
    auto &ui = probe.ui();
    QVERIFY(foundAndLoaded(*window, ui, HexData + "small.hex"));
    const auto hwnd = reinterpret_cast<HWND>(window->winId());
    QCOMPARE(askToEndSession(hwnd), LRESULT(TRUE));

    QTest::mouseClick(ui.pushButton_2, Qt::LeftButton);
    QCOMPARE(askToEndSession(hwnd), LRESULT(FALSE));
    QVERIFY(closeRefusedNote(ui.statusBar) && closeRefusedNote(ui.statusBar)->isVisible());
    QTRY_COMPARE_WITH_TIMEOUT(ui.statusBar->currentMessage(), QStringLiteral("Flash neu beschrieben!"),
                              WriteTimeoutMs);
    QCOMPARE(askToEndSession(hwnd), LRESULT(TRUE));
    QVERIFY(sim.waitForWrites(1, 5s));
    QCOMPARE(sim.report().value("end_marker"), "1");
}
#else
void FlashWindowTest::stopSignalWaitsForTheWrite()
{
    SimInstrument sim({"--erase-ms", "500", "--block-ms", "50"});
    QVERIFY(sim.start());
    auto window = windowWithInstrument(sim);
    WindowProbe probe(*window);
    auto &ui = probe.ui();
    QVERIFY(foundAndLoaded(*window, ui, HexData + "small.hex"));
    QTest::mouseClick(ui.pushButton_2, Qt::LeftButton);
    QVERIFY(::kill(::getpid(), SIGTERM) == 0);
    QTRY_VERIFY(closeRefusedNote(ui.statusBar) && closeRefusedNote(ui.statusBar)->isVisible());
    QVERIFY(window->isVisible());
    QVERIFY(records().isEmpty());

    QTRY_VERIFY_WITH_TIMEOUT(!window->isVisible(), WriteTimeoutMs);
    QCOMPARE(ui.statusBar->currentMessage(), QStringLiteral("Flash neu beschrieben!"));
    QCOMPARE(records().value(0)["result"].toString(), "written");
    QCOMPARE(sim.report().value("writes"), "1");

    // Without a write, the window goes at once.
    window.reset();
    VELDfwloader idle;
    idle.show();
    QVERIFY(::kill(::getpid(), SIGHUP) == 0);
    QTRY_VERIFY(!idle.isVisible());
}
#endif

QTEST_MAIN(FlashWindowTest)
#include "tst_flashwindow.moc"
