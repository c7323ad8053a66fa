#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// The flasher speaks English only when the locale's first language is
// English; under C, POSIX and any other language it says what it says today.
class FlashLanguageTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void texts_data();
    void texts();

private:
    QString run(const QStringList &arguments, const QStringList &locale, int *exitCode = nullptr);

    QTemporaryDir dir;
    QString damaged;
};

void FlashLanguageTest::initTestCase()
{
    QVERIFY(dir.isValid());
    damaged = dir.filePath(QStringLiteral("damaged.hex"));
    QFile file(damaged);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(":020000040000FA\n:0400200000EF7EF0AB\n:00000001FF\n");
}

// stdout and stderr of one run under the locale, as NAME=value entries.
QString FlashLanguageTest::run(const QStringList &arguments, const QStringList &locale, int *exitCode)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"})
        environment.remove(QString::fromLatin1(name));
    for (const QString &entry : locale)
        environment.insert(entry.section(QLatin1Char('='), 0, 0), entry.section(QLatin1Char('='), 1));
    environment.insert(QStringLiteral("ZIRBELWERK_PORTS"), QString());
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral(ZW_FLASH_CLI), arguments);
    if (!process.waitForFinished(30000))
        return QStringLiteral("did not end");
    if (exitCode)
        *exitCode = process.exitCode();
    return QString::fromUtf8(process.readAll());
}

void FlashLanguageTest::texts_data()
{
    QTest::addColumn<QStringList>("locale");
    QTest::addColumn<bool>("english");
    QTest::newRow("LANGUAGE=en, LC_ALL=C.UTF-8") << QStringList {"LANGUAGE=en", "LC_ALL=C.UTF-8"} << true;
    QTest::newRow("LANG=en_US.UTF-8") << QStringList {"LANG=en_US.UTF-8"} << true;
    QTest::newRow("LC_MESSAGES=en_GB.UTF-8") << QStringList {"LC_MESSAGES=en_GB.UTF-8"} << true;
    QTest::newRow("none") << QStringList {} << false;
    QTest::newRow("LC_ALL=C") << QStringList {"LC_ALL=C"} << false;
    QTest::newRow("LANG=POSIX") << QStringList {"LANG=POSIX"} << false;
    QTest::newRow("LANG=C.UTF-8") << QStringList {"LANG=C.UTF-8"} << false;
    QTest::newRow("LANG=de_DE.UTF-8") << QStringList {"LANG=de_DE.UTF-8"} << false;
    QTest::newRow("LANG=fr_FR.UTF-8") << QStringList {"LANG=fr_FR.UTF-8"} << false;
    QTest::newRow("LANGUAGE=de:en") << QStringList {"LANGUAGE=de:en", "LC_ALL=C.UTF-8"} << false;
}

void FlashLanguageTest::texts()
{
    QFETCH(QStringList, locale);
    QFETCH(bool, english);
    const auto say = [english](const char *german, const char *inEnglish) {
        return QString::fromUtf8(english ? inEnglish : german);
    };

    QVERIFY(run({"--help"}, locale).startsWith(say("Aufruf: zirbelwerk-flash", "Usage: zirbelwerk-flash")));
    QVERIFY(run({"--help"}, locale).contains(say("Rueckgabewert:", "Exit status:")));
    int exitCode = -1;
    QCOMPARE(run({"--bogus"}, locale, &exitCode),
             say("zirbelwerk-flash: unbekannte Option --bogus (Hilfe: zirbelwerk-flash --help)\n",
                 "zirbelwerk-flash: unknown option --bogus (help: zirbelwerk-flash --help)\n"));
    QCOMPARE(exitCode, 1);
    QCOMPARE(run({"--list"}, locale),
             say("Keine seriellen Ports gefunden\n(aus ZIRBELWERK_PORTS)\n",
                 "No serial ports found\n(from ZIRBELWERK_PORTS)\n"));
    QCOMPARE(run({"--check", damaged}, locale, &exitCode),
             say("HEX-Datei nicht geeignet!!\nZeile 2: Pruefsumme falsch\n",
                 "HEX file not suitable!!\nLine 2: wrong checksum\n"));
    QCOMPARE(exitCode, 2);
}

QTEST_GUILESS_MAIN(FlashLanguageTest)
#include "tst_flashlanguage.moc"
