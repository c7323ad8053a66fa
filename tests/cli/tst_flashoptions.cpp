#include "cli/CliOptions.h"

#include <QTest>

using Mode = CliOptions::Mode;

namespace {

CliOptions parse(const QStringList &arguments)
{
    return CliOptions::parse(QStringList {QStringLiteral("zirbelwerk-flash")} + arguments);
}

} // namespace

// The flasher's command line, parsed in-process.
class FlashOptionsTest : public QObject
{
    Q_OBJECT

private slots:
    void refusedOrTaken_data();
    void refusedOrTaken();
    void fields();
};

void FlashOptionsTest::refusedOrTaken_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<Mode>("mode");
    QTest::addColumn<QString>("expected"); // Invalid: in the error; Help: in the help; else the file

    const QString file = QStringLiteral("/dev/zirbelwerk-missing.hex");
    QTest::newRow("nothing") << QStringList {} << Mode::Invalid << "keine HEX-Datei";
    QTest::newRow("unknown option") << QStringList {"--fast", file} << Mode::Invalid << "'fast'";
    QTest::newRow("port without value") << QStringList {file, "--port"} << Mode::Invalid << "'--port'";
    QTest::newRow("check with a value") << QStringList {"--check=" + file} << Mode::Invalid << "'--check'";
    QTest::newRow("empty value") << QStringList {"--record=", file} << Mode::Invalid << "--record braucht einen Wert";
    QTest::newRow("baud the Modem refuses") << QStringList {"--baud", "38400", file} << Mode::Invalid
                                            << "--baud 38400 geht nicht: nur 9600, 57600 oder 115200";
    QTest::newRow("baud no number") << QStringList {"--baud=schnell", file} << Mode::Invalid << "--baud schnell";
    QTest::newRow("port no port") << QStringList {"--port", "ttyUSB0", file} << Mode::Invalid << "--port ttyUSB0";
    QTest::newRow("port COM0") << QStringList {"-p", "COM0", file} << Mode::Invalid
                               << "--port COM0 geht nicht: COM1 bis COM50";
    QTest::newRow("port COM51") << QStringList {"-p", "COM51", file} << Mode::Invalid
                                << "--port COM51 geht nicht: COM1 bis COM50";
    QTest::newRow("rearm out of range") << QStringList {"--watch", "--rearm-after", "3601", file} << Mode::Invalid
                                        << "--rearm-after 3601 geht nicht: Sekunden von 1 bis 3600";
    QTest::newRow("rearm without watch") << QStringList {"--rearm-after", "5", file} << Mode::Invalid
                                         << "--rearm-after nur zusammen mit --watch";
    QTest::newRow("two files") << QStringList {file, file} << Mode::Invalid << "nur eine HEX-Datei";
    QTest::newRow("image-out alone") << QStringList {"--image-out", "x.bin", file} << Mode::Invalid
                                     << "nur zusammen mit --check";
    QTest::newRow("check with port") << QStringList {"--check", file, "--port", "COM1"} << Mode::Invalid << "--check";
    QTest::newRow("check with json") << QStringList {"--check", file, "--json"} << Mode::Invalid
                                     << "--check beruehrt keine HW; --json passt nicht dazu";
    QTest::newRow("list with file") << QStringList {"--list", file} << Mode::Invalid << "--list steht allein";
    QTest::newRow("help") << QStringList {"--help"} << Mode::Help << "4  Flash schreiben fehlgeschlagen";
    QTest::newRow("help wins") << QStringList {file, "-h"} << Mode::Help << "3  keine HW gefunden";
    QTest::newRow("file after --") << QStringList {"--check", "--", "-x.hex"} << Mode::Check << "-x.hex";
}

void FlashOptionsTest::refusedOrTaken()
{
    QFETCH(QStringList, arguments);
    QFETCH(Mode, mode);
    QFETCH(QString, expected);
    const CliOptions options = parse(arguments);
    QVERIFY2(options.mode == mode, qPrintable(options.error));
    if (mode == Mode::Invalid)
        QVERIFY2(options.error.contains(expected), qPrintable(options.error));
    else if (mode == Mode::Help)
        QVERIFY(CliOptions::helpText().contains(expected));
    else
        QCOMPARE(options.file, expected);
}

void FlashOptionsTest::fields()
{
    const CliOptions several = parse({"-p", "COM1", "--port=/dev/x", "-p", "COM1", "-b", "115200", "--json",
                                      "--record", "r.jsonl", "f.hex"});
    QVERIFY2(several.mode == Mode::Flash, qPrintable(several.error));
    QCOMPARE(several.ports, QStringList({"COM1", "/dev/x"}));
    QCOMPARE(several.port, QString());
    QVERIFY(several.isMulti());
    QCOMPARE(several.baudRate, 115200);
    QVERIFY(several.json);
    QCOMPARE(several.record, QStringLiteral("r.jsonl"));
    QCOMPARE(several.file, QStringLiteral("f.hex"));

    const CliOptions one = parse({"f.hex", "-pCOM2"});
    QCOMPARE(one.port, QStringLiteral("COM2"));
    QVERIFY(!one.isMulti());
    QCOMPARE(one.rearmAfterSeconds, 3);
    QCOMPARE(parse({"--watch", "--rearm-after", "7", "f.hex"}).rearmAfterSeconds, 7);
}

QTEST_GUILESS_MAIN(FlashOptionsTest)
#include "tst_flashoptions.moc"
