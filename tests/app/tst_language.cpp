#include "FileDialogAnswer.h"
#include "SimInstrument.h"
#include "WindowProbe.h"
#include "i18n/Translation.h"

#include <QApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>

// The window as a user with an English locale sees it, and (run with "c")
// under C with the German texts of today. main() sets the locale before the
// application starts, as a user's session does.
namespace {

bool english = true;
const QString HexData = QStringLiteral(ZW_TEST_DATA "/hex/");

QString say(const char *german, const char *inEnglish)
{
    return QString::fromUtf8(english ? inEnglish : german);
}

void openFileDialog(VELDfwloader &window, const QString &fileName)
{
    FileDialogAnswer answer(fileName);
    QMetaObject::invokeMethod(&window, "on_pushButton_clicked", Qt::DirectConnection);
    QVERIFY(answer.answered());
}

} // namespace

class LanguageTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void formSearchAndRefusal();
    void writeAndRecord();

private:
    QTemporaryDir home;
};

// Settings and the flash record go to a private folder, not the user's.
void LanguageTest::initTestCase()
{
    QVERIFY(home.isValid());
    qputenv("XDG_CONFIG_HOME", home.filePath("config").toLocal8Bit());
    qputenv("XDG_DATA_HOME", home.filePath("share").toLocal8Bit());
}

void LanguageTest::formSearchAndRefusal()
{
    qputenv("ZIRBELWERK_PORTS", "");
    VELDfwloader window;
    WindowProbe probe(window);
    auto &ui = probe.ui();
    window.show();

    QCOMPARE(window.windowTitle(), QStringLiteral("ZirbelWerk V1.00"));
    QCOMPARE(ui.pushButton->text(), say("HEX-Datei", "HEX file"));
    QCOMPARE(ui.pushButton_2->text(), QStringLiteral("Write Flash"));
    QCOMPARE(ui.pushButton_3->text(), QStringLiteral("Exit"));
    QTRY_VERIFY2(ui.statusBar->currentMessage().startsWith(say("Suche HW :COM", "Searching HW: COM")),
                 qPrintable(ui.statusBar->currentMessage()));

    FileDialogAnswer cancel({});
    QMetaObject::invokeMethod(&window, "on_pushButton_clicked", Qt::DirectConnection);
    QVERIFY(cancel.answered());
    QCOMPARE(cancel.caption, say("HEX-Datei Laden", "Load HEX file"));
    QCOMPARE(cancel.nameFilters, QStringList {say("HEX-Datei (*.hex)", "HEX file (*.hex)")});
    QCOMPARE(ui.label->text(), say("HEX-Datei Laden, Abbruch!", "Loading the HEX file cancelled!"));

    QTemporaryDir dir;
    QFile damaged(dir.filePath(QStringLiteral("damaged.hex")));
    QVERIFY(damaged.open(QIODevice::WriteOnly));
    damaged.write(":020000040000FA\n:0400200000EF7EF0AB\n:00000001FF\n");
    damaged.close();
    openFileDialog(window, damaged.fileName());
    QCOMPARE(ui.label->text(), say("HEX-Datei nicht geeignet!!", "HEX file not suitable!!"));
    QCOMPARE(ui.label->toolTip(), say("Zeile 2: Pruefsumme falsch", "Line 2: wrong checksum"));
}

// The texts change with the language; the record's keys and codes do not.
void LanguageTest::writeAndRecord()
{
    SimInstrument sim({"--erase-ms", "100", "--block-ms", "1"});
    QVERIFY(sim.start());
    qputenv("ZIRBELWERK_PORTS", sim.devicePath().toLocal8Bit());
    VELDfwloader window;
    WindowProbe probe(window);
    auto &ui = probe.ui();
    window.show();
    QTRY_COMPARE_WITH_TIMEOUT(ui.label_3->text(), QStringLiteral("FW: V1.23"), 5000);
    QCOMPARE(ui.statusBar->currentMessage(), say("HW gefunden an: COM1", "HW found at: COM1"));

    openFileDialog(window, HexData + "small.hex");
    QCOMPARE(ui.label->text(), say("HEX-Datei OK!! Laenge: 255 Byte", "HEX file OK!! Length: 255 bytes"));
    QTest::mouseClick(ui.pushButton_2, Qt::LeftButton);
    const QString written = say("Flash neu beschrieben!", "Flash rewritten!");
    QTRY_COMPARE_WITH_TIMEOUT(ui.statusBar->currentMessage(), written, 20000);
    QCOMPARE(ui.label_3->text(), say("FW: neu, Exit Programm", "FW: new, exit the program"));

    // The record's line follows the write's last text, a moment later.
    QFile record(home.filePath("share/zirbelwerk/flash-record.jsonl"));
    QTRY_VERIFY(record.size() > 0);
    QVERIFY(record.open(QIODevice::ReadOnly));
    const QJsonObject entry = QJsonDocument::fromJson(record.readLine()).object();
    QCOMPARE(entry.value("program").toString(), QStringLiteral("zirbelwerk"));
    QCOMPARE(entry.value("result").toString(), QStringLiteral("written"));
    QCOMPARE(entry.value("message").toString(), written);
}

int main(int argc, char *argv[])
{
    english = !(argc > 1 && std::strcmp(argv[1], "c") == 0);
    if (argc > 1 && (std::strcmp(argv[1], "c") == 0 || std::strcmp(argv[1], "en") == 0)) {
        argv[1] = argv[0];
        --argc;
        ++argv;
    }
    for (const char *name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"})
        qunsetenv(name);
    if (english) {
        qputenv("LANGUAGE", "en");
        qputenv("LC_ALL", "C.UTF-8");
    } else {
        qputenv("LC_ALL", "C");
    }
    QApplication application(argc, argv);
    if (Translation::install(application) != english) {
        qCritical("The locale did not choose %s.", english ? "English" : "German");
        return 2;
    }
    LanguageTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_language.moc"
