#include "cli/CliOptions.h"

#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

using Mode = CliOptions::Mode;

namespace {

CliOptions parse(const QStringList &arguments)
{
    return CliOptions::parse(QStringList {QStringLiteral("zirbelwerk-flash")} + arguments);
}

QString readText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// The options a text names: "--name", and "-x --name" where a short form stands beside its long one.
QSet<QString> optionsIn(const QString &text)
{
    static const QRegularExpression longName(QStringLiteral("(?<![\\w-])--[a-z][a-z-]*[a-z]"));
    static const QRegularExpression pair(
            QStringLiteral("(?<![\\w-])(-[a-zA-Z])[\\s\"]*[,|][\\s\"]*(--[a-z][a-z-]*[a-z])"));
    QSet<QString> found;
    for (const auto &match : longName.globalMatch(text))
        found << match.captured();
    for (const auto &match : pair.globalMatch(text))
        found << match.captured(1) + QLatin1Char(' ') + match.captured(2);
    return found;
}

// The man page's OPTIONS section as plain text.
QString manOptions(const QString &page)
{
    const qsizetype start = page.indexOf(QLatin1String("\n.SH OPTIONS\n"));
    QString section = page.mid(start, page.indexOf(QLatin1String("\n.SH "), start + 1) - start);
    section.replace(QLatin1String("\\-"), QLatin1String("-"));
    return section.remove(QRegularExpression(QStringLiteral("\\\\f[BIRP]")));
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
    void helpManAndCompletionAgree();
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

// The parser, --help, the man page and the completion know the same options.
void FlashOptionsTest::helpManAndCompletionAgree()
{
    const QStringList parsed = CliOptions::optionNames();
    const QString page = readText(QStringLiteral(ZW_SOURCE_DIR "/man/zirbelwerk-flash.1"));
    const QList<QPair<QString, QSet<QString>>> sources {
        {QStringLiteral("the parser"), QSet<QString>(parsed.begin(), parsed.end())},
        {QStringLiteral("--help"), optionsIn(CliOptions::helpText())},
        {QStringLiteral("the man page"), optionsIn(manOptions(page))},
        {QStringLiteral("the completion"),
         optionsIn(readText(QStringLiteral(ZW_SOURCE_DIR "/data/zirbelwerk-flash.bash-completion")))},
    };
    QSet<QString> all;
    for (const auto &source : sources)
        all.unite(source.second);
    QVERIFY(all.contains(QStringLiteral("-p --port")));
    for (const auto &[name, options] : sources) {
        QStringList missing = (all - options).values();
        missing.sort();
        QVERIFY2(missing.isEmpty(), qPrintable(name + QStringLiteral(" lacks ") + missing.join(QLatin1Char(' '))));
    }
}

QTEST_GUILESS_MAIN(FlashOptionsTest)
#include "tst_flashoptions.moc"
