#include "FileDialogAnswer.h"
#include "SimInstrument.h"
#include "WindowProbe.h"
#include "serial/Modem.h"

#include <QDir>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

#include <sys/resource.h>

using namespace std::chrono_literals;

namespace {

const QString HexData = QStringLiteral(ZW_TEST_DATA "/hex/");
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
std::unique_ptr<VELDfwloader> windowWithInstrument(const SimInstrument &sim)
{
    qputenv("ZIRBELWERK_PORTS", sim.devicePath().toLocal8Bit());
    auto window = std::make_unique<VELDfwloader>();
    window->show();
    return window;
}

QLabel *closeRefusedNote(QStatusBar *bar)
{
    for (QLabel *label : bar->findChildren<QLabel *>())
        if (label->text() == QStringLiteral("Beenden erst nach dem Flash schreiben!"))
            return label;
    return nullptr;
}

// CPU time of this process, user and system.
std::chrono::milliseconds cpuTime()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval &t) { return t.tv_sec * 1000 + t.tv_usec / 1000; };
    return std::chrono::milliseconds(ms(usage.ru_utime) + ms(usage.ru_stime));
}

} // namespace

class FlashWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void loadOutcomes();
    void wholeRoad();
    void faultyInstrumentEndsWriteInRed_data();
    void faultyInstrumentEndsWriteInRed();
    void stalledWriteShowsLatestCount();
    void writeWithoutInstrumentIsRefused();
    void lineLostWhileIdleIsDropped();
};

void FlashWindowTest::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
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
    QVERIFY(window->close());
}

void FlashWindowTest::faultyInstrumentEndsWriteInRed_data()
{
    QTest::addColumn<QStringList>("simArguments");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shortMessage");
    QTest::addColumn<bool>("lineGone");
    QTest::newRow("silent") << QStringList {"--erase-ms", "0", "--silent-at", "2"}
                            << "Keine Antwort von der HW, Abbruch bei Block 2 / 4" << "Abbruch bei Block 2 / 4" << false;
    QTest::newRow("hangs up") << QStringList {"--erase-ms", "0", "--hangup-at", "3"}
                              << "Verbindung zur HW unterbrochen, Abbruch bei Block 3 / 4" << "Abbruch bei Block 3 / 4"
                              << true;
}

void FlashWindowTest::faultyInstrumentEndsWriteInRed()
{
    QFETCH(QStringList, simArguments);
    QFETCH(QString, message);
    QFETCH(QString, shortMessage);
    QFETCH(bool, lineGone);
    SimInstrument sim(simArguments);
    QVERIFY(sim.start());
    auto window = windowWithInstrument(sim);
    WindowProbe probe(*window);
    auto &ui = probe.ui();
    QTRY_VERIFY_WITH_TIMEOUT(ui.pushButton->isEnabled(), FoundTimeoutMs);
    loadThroughDialog(*window, HexData + "small.hex");

    int ticks = 0;
    QTimer heartbeat;
    connect(&heartbeat, &QTimer::timeout, this, [&] { ++ticks; });
    heartbeat.start(100);
    QTest::mouseClick(ui.pushButton_2, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(ui.label_2->text(), shortMessage, WriteTimeoutMs);
    if (!lineGone)
        QVERIFY(ticks >= 20); // the window kept running through the 3 s wait
    QCOMPARE(textColour(ui.label_2), QColor(Qt::red));
    // The whole reason, and what to do now, where there is room for it.
    const QString advice = QStringLiteral(". Die HW wartet wohl noch mitten im Schreiben: "
                                          "Geraet aus- und einschalten, dann neu schreiben");
    QCOMPARE(ui.statusBar->currentMessage(), message + advice);
    QCOMPARE(ui.label_2->toolTip(), message + advice);
    QVERIFY(ui.label_3->text() != QStringLiteral("FW: neu, Exit Programm"));
    QVERIFY(ui.pushButton->isEnabled());
    QVERIFY(ui.pushButton_2->isEnabled());

    // Neither a silent nor a vanished line may keep the event loop busy.
    const auto before = cpuTime();
    QTest::qWait(1000);
    QVERIFY2(cpuTime() - before < 300ms, qPrintable(QString::number((cpuTime() - before).count())));
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
    QTRY_VERIFY_WITH_TIMEOUT(ui.pushButton->isEnabled(), FoundTimeoutMs);
    loadThroughDialog(*window, HexData + "small.hex");
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
}

void FlashWindowTest::lineLostWhileIdleIsDropped()
{
    SimInstrument sim;
    QVERIFY(sim.start());
    auto window = windowWithInstrument(sim);
    WindowProbe probe(*window);
    QTRY_VERIFY_WITH_TIMEOUT(probe.ui().pushButton->isEnabled(), FoundTimeoutMs);
    sim.stop();
    QTRY_VERIFY(!probe.modem()->device());
    QCOMPARE(probe.ui().statusBar->currentMessage(), QStringLiteral("Verbindung zur HW unterbrochen"));
    QVERIFY(!probe.searchTimer()->isActive());
    const auto before = cpuTime();
    QTest::qWait(1000);
    QVERIFY2(cpuTime() - before < 300ms, qPrintable(QString::number((cpuTime() - before).count())));
}

QTEST_MAIN(FlashWindowTest)
#include "tst_flashwindow.moc"
