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
    struct Run
    {
        int exitCode = -1;
        QString out, err;
    };
    Run run(const QStringList &arguments, const QStringList &locale);

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

// One run under the locale, given as NAME=value entries. Qt 6.8 may warn
// on stderr first about a locale that is not UTF-8.
FlashLanguageTest::Run FlashLanguageTest::run(const QStringList &arguments, const QStringList &locale)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"})
        environment.remove(QString::fromLatin1(name));
    for (const QString &entry : locale)
        environment.insert(entry.section(QLatin1Char('='), 0, 0), entry.section(QLatin1Char('='), 1));
    environment.insert(QStringLiteral("ZIRBELWERK_PORTS"), QString());
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(ZW_FLASH_CLI), arguments);
    Run result;
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
        return result;
    }
    result.exitCode = process.exitCode();
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
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

    const Run help = run({"--help"}, locale);
    QVERIFY2(help.out.startsWith(say("Aufruf: zirbelwerk-flash", "Usage: zirbelwerk-flash")), qPrintable(help.out));
    QVERIFY(help.out.contains(say("Rueckgabewert:", "Exit status:")));
    const Run bogus = run({"--bogus"}, locale);
    // Qt's parser names it, in German from Qt's catalogue whenever the flasher speaks German.
    QVERIFY2(bogus.err.endsWith(say("'bogus'. (Hilfe: zirbelwerk-flash --help)\n",
                                    "zirbelwerk-flash: Unknown option 'bogus'. (help: zirbelwerk-flash --help)\n")),
             qPrintable(bogus.err));
    QCOMPARE(bogus.err.contains(QLatin1String("Unknown")), english);
    QCOMPARE(bogus.exitCode, 1);
    QCOMPARE(run({"--list"}, locale).out,
             say("Keine seriellen Ports gefunden\n(aus ZIRBELWERK_PORTS)\n",
                 "No serial ports found\n(from ZIRBELWERK_PORTS)\n"));
    const Run check = run({"--check", damaged}, locale);
    QVERIFY2(check.err.endsWith(say("HEX-Datei nicht geeignet!!\nZeile 2: Pruefsumme falsch\n",
                                    "HEX file not suitable!!\nLine 2: wrong checksum\n")),
             qPrintable(check.err));
    QCOMPARE(check.exitCode, 2);
}

QTEST_GUILESS_MAIN(FlashLanguageTest)
#include "tst_flashlanguage.moc"
