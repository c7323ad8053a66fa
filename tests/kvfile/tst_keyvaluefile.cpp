#include "kvfile/KeyValueFile.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <chrono>
#include <limits>
#include <memory>

using namespace std::chrono_literals;

namespace {

constexpr std::chrono::milliseconds kProcessStartTimeout = 10s;
constexpr std::chrono::milliseconds kFirstSaveTimeout = 10s;
constexpr std::chrono::milliseconds kProcessEndTimeout = 10s;

constexpr int kDefaultInt = 77;
constexpr qint64 kDefaultLongLong = Q_INT64_C(1) << 40;
constexpr bool kDefaultBool = true;
constexpr double kDefaultDouble = 2.5;
const QString kDefaultString = QStringLiteral("default");

// Linux systems write UTF-8; Windows writes its single-byte code page.
bool systemEncodingIsUtf8()
{
    const QString sample = QStringLiteral("\u00E4\u20AC");
    return sample.toLocal8Bit() == sample.toUtf8();
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void writeAll(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(content), content.size());
}

bool callSetter(KeyValueFile &kv, const QString &setter, const QString &key, const QVariant &v)
{
    if (setter == "setBool")
        return kv.setBool(key, v.toBool());
    if (setter == "setInt")
        return kv.setInt(key, v.toInt());
    if (setter == "setLong")
        return kv.setLong(key, v.toInt());
    if (setter == "setLongLong")
        return kv.setLongLong(key, v.toLongLong());
    if (setter == "setDouble")
        return kv.setDouble(key, v.toDouble());
    if (setter == "setDoubleExp")
        return kv.setDoubleExp(key, v.toDouble());
    return kv.setString(key, v.toString());
}

QVariant callGetter(const KeyValueFile &kv, const QString &setter, const QString &key)
{
    if (setter == "setBool")
        return kv.getBool(key, false);
    if (setter == "setInt" || setter == "setLong")
        return kv.getInt(key, 0);
    if (setter == "setLongLong")
        return kv.getLongLong(key, 0);
    if (setter.startsWith("setDouble"))
        return kv.getDouble(key, 0.0);
    return kv.getString(key, QString());
}

// The big file of the kill test: fixed filler lines around three
// generation lines that every save advances together.
constexpr int kFillerLines = 4000;

QByteArray fillerLine(char prefix, int i)
{
    return prefix + QByteArray::number(i).rightJustified(4, '0') + '='
           + QByteArray(250, char('a' + i % 26)) + '\n';
}

QByteArray bigFile(qint64 generation)
{
    const QByteArray gen = QByteArray::number(generation);
    QByteArray text = "a_gen=" + gen + '\n';
    for (int i = 0; i < kFillerLines / 2; ++i)
        text += fillerLine('f', i);
    text += "m_gen=" + gen + '\n';
    for (int i = kFillerLines / 2; i < kFillerLines; ++i)
        text += fillerLine('s', i);
    return text + "z_gen=" + gen + '\n';
}

} // namespace

class tst_KeyValueFile : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void getters_data();
    void getters();
    void setterTexts_data();
    void setterTexts();
    void loadTakesLeadingKeyLines_data();
    void loadTakesLeadingKeyLines();
    void secondLoadAddsLinesAndName();
    void failedLoadStillTakesName();
    void settingKeyTwiceKeepsOneLine();
    void duplicateKeysUseFirstLine();
    void removeLine_data();
    void removeLine();
    void unchangedObjectNeverWrites();
    void failedSaveKeepsChanges_data();
    void failedSaveKeepsChanges();
    void lineBreakIsRefused_data();
    void lineBreakIsRefused();
    void nonAsciiSurvivesSaveAndLoad();
    void unpairedSurrogateReadsAsReplacement();
    void loadedUnpairedSurrogateReadsAsReplacement();
    void killDuringSaveLeavesWholeFile();

private:
    QString path(const QString &name = QStringLiteral("values.txt")) const
    {
        return dir->filePath(name);
    }

    std::unique_ptr<QTemporaryDir> dir;
};

void tst_KeyValueFile::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void tst_KeyValueFile::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
}

void tst_KeyValueFile::getters_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("intValue");
    QTest::addColumn<qint64>("longLongValue");
    QTest::addColumn<bool>("boolValue");
    QTest::addColumn<double>("doubleValue");

    const auto missing = [](const char *name, const QByteArray &content, const QString &key) {
        QTest::newRow(name) << content << key << kDefaultString << kDefaultInt
                            << kDefaultLongLong << kDefaultBool << kDefaultDouble;
    };
    missing("absent key", "a=1\n", "b");
    missing("empty file", "", "a");
    missing("key is a prefix of the line's key", "abc=1\n", "ab");
    missing("line's key is a prefix of the key", "a=1\n", "ab");
    missing("case differs", "ab=1\n", "Ab");
    missing("blank before =", "a =1\n", "a");
    missing("pattern only inside a value", "x=key=5\n", "key");

    const auto found = [](const char *name, const QByteArray &content, const QString &key,
                          const QString &text, int i, qint64 ll, bool b, double d) {
        QTest::newRow(name) << content << key << text << i << ll << b << d;
    };
    found("not a number", "x=abc\n", "x", "abc", 0, 0, false, 0.0);
    found("empty value", "x=\n", "x", "", 0, 0, false, 0.0);
    found("two is true", "x=2\n", "x", "2", 2, 2, true, 2.0);
    found("word true is false", "x=true\n", "x", "true", 0, 0, false, 0.0);
    found("leading zeros are base 10", "x=010\n", "x", "010", 10, 10, true, 10.0);
    found("negative", "x=-5\n", "x", "-5", -5, -5, true, -5.0);
    found("beyond 32 bits", "x=3000000000\n", "x", "3000000000", 0, 3000000000, false, 3e9);
    found("exponent notation", "x=1.5E+03\n", "x", "1.5E+03", 0, 0, false, 1500.0);
    found("value holds =", "a=b=c\n", "a", "b=c", 0, 0, false, 0.0);
    found("key holds =", "a=b=c\n", "a=b", "c", 0, 0, false, 0.0);
    found("blank belongs to the key", "a =1\n", "a ", "1", 1, 1, true, 1.0);
    found("first line of the key wins", "k=1\nk=2\n", "k", "1", 1, 1, true, 1.0);
    found("non-ASCII key", QString("Größe=12\n").toLocal8Bit(), "Größe", "12", 12, 12, true, 12.0);
}

void tst_KeyValueFile::getters()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, key);
    // An unsorted first line shows whether a getter marked the object
    // modified: a save would then rewrite the file sorted.
    content.prepend("zz=0\n");
    writeAll(path(), content);

    KeyValueFile kv;
    QVERIFY(kv.load(path()));
    QTEST(kv.getString(key, kDefaultString), "text");
    QTEST(kv.getInt(key, kDefaultInt), "intValue");
    QTEST(int(kv.getLong(key, kDefaultInt)), "intValue");
    QTEST(kv.getLongLong(key, kDefaultLongLong), "longLongValue");
    QTEST(kv.getBool(key, kDefaultBool), "boolValue");
    QTEST(kv.getDouble(key, kDefaultDouble), "doubleValue");

    QVERIFY(kv.save());
    QCOMPARE(readAll(path()), content);
}

void tst_KeyValueFile::setterTexts_data()
{
    QTest::addColumn<QString>("setter");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QByteArray>("written");
    QTest::addColumn<QVariant>("readBack");

    const auto row = [](const char *name, const char *setter, const QVariant &value,
                        const QByteArray &written, const QVariant &readBack) {
        QTest::newRow(name) << QString(setter) << value << written << readBack;
    };
    const int intMin = std::numeric_limits<int>::min();
    const qint64 llMin = std::numeric_limits<qint64>::min();
    row("bool true", "setBool", true, "1", true);
    row("bool false", "setBool", false, "0", false);
    row("int -5", "setInt", -5, "-5", -5);
    row("int min", "setInt", intMin, "-2147483648", intMin);
    row("long max", "setLong", 2147483647, "2147483647", 2147483647);
    row("long long min", "setLongLong", llMin, "-9223372036854775808", llMin);
    row("double 0.5", "setDouble", 0.5, "0.5", 0.5);
    row("double ten digits", "setDouble", 1.0 / 3, "0.3333333333", 0.3333333333);
    row("double large", "setDouble", 1.25e20, "1.25e+20", 1.25e20);
    row("exp 1.5", "setDoubleExp", 1.5, "1.500000000000000E+00", 1.5);
    row("exp -0.001", "setDoubleExp", -0.001, "-1.000000000000000E-03", -0.001);
    row("exp sixteen digits", "setDoubleExp", 1.0 / 3, "3.333333333333333E-01",
        0.3333333333333333);
    row("exp three-digit exponent", "setDoubleExp", 1e300, "1.000000000000000E+300", 1e300);
    row("string with blanks and =", "setString", "a b = c", "a b = c", "a b = c");
    row("empty string", "setString", "", "", "");
}

void tst_KeyValueFile::setterTexts()
{
    QFETCH(QString, setter);
    QFETCH(QVariant, value);
    QFETCH(QByteArray, written);
    QFETCH(QVariant, readBack);

    KeyValueFile kv;
    QVERIFY(!kv.load(path()));
    QVERIFY(callSetter(kv, setter, "k", value));
    QCOMPARE(callGetter(kv, setter, "k"), readBack);
    QVERIFY(kv.save());
    QCOMPARE(readAll(path()), "k=" + written + '\n');
}

void tst_KeyValueFile::loadTakesLeadingKeyLines_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QByteArray>("saved");

    QTest::newRow("empty line ends the data") << QByteArray("b=1\n\nc=2\na=0\n") << QByteArray("b=1\n");
    QTest::newRow("line without = ends the data")
        << QByteArray("d=4\nb=1\nplain\nc=2\n") << QByteArray("b=1\nd=4\n");
    QTest::newRow("empty first line") << QByteArray("\na=1\n") << QByteArray();
    QTest::newRow("empty file") << QByteArray() << QByteArray();
    QTest::newRow("CRLF read, LF written") << QByteArray("b=1\r\na=2\r\n") << QByteArray("a=2\nb=1\n");
    QTest::newRow("no final line end") << QByteArray("b=1\na=2") << QByteArray("a=2\nb=1\n");
    QTest::newRow("blanks kept") << QByteArray(" a = 1 \n") << QByteArray(" a = 1 \n");
    QTest::newRow("duplicates kept") << QByteArray("a=1\na=1\n") << QByteArray("a=1\na=1\n");
    QTest::newRow("digits < = < letters")
        << QByteArray("ab=1\na=2\na1=3\n") << QByteArray("a1=3\na=2\nab=1\n");
    QTest::newRow("upper case first")
        << QByteArray("a=1\nB=2\nA=3\n") << QByteArray("A=3\nB=2\na=1\n");
    // U+1F600 is stored as surrogates 0xD83D 0xDE00, below U+FF21.
    if (systemEncodingIsUtf8())
        QTest::newRow("UTF-16 code units, not code points or collation")
            << QByteArray("Ａ=2\n😀=1\nz=0\nä=3\n") << QByteArray("z=0\nä=3\n😀=1\nＡ=2\n");
}

void tst_KeyValueFile::loadTakesLeadingKeyLines()
{
    QFETCH(QByteArray, content);
    writeAll(path(), content);

    KeyValueFile kv;
    QVERIFY(kv.load(path()));
    QVERIFY(!kv.removeLine("\x01")); // marks it modified, removes nothing
    QVERIFY(kv.save());
    QTEST(readAll(path()), "saved");
}

void tst_KeyValueFile::secondLoadAddsLinesAndName()
{
    writeAll(path("first.txt"), "d=4\nb=2\n");
    writeAll(path("second.txt"), "c=3\na=1\n");

    KeyValueFile kv;
    QVERIFY(kv.load(path("first.txt")));
    QVERIFY(kv.load(path("second.txt")));
    QCOMPARE(kv.getInt("d", 0), 4);
    QVERIFY(kv.setInt("e", 5));
    QVERIFY(kv.save());

    QCOMPARE(readAll(path("second.txt")), "a=1\nb=2\nc=3\nd=4\ne=5\n");
    QCOMPARE(readAll(path("first.txt")), "d=4\nb=2\n");
}

void tst_KeyValueFile::failedLoadStillTakesName()
{
    writeAll(path("first.txt"), "b=2\n");
    {
        KeyValueFile kv;
        QVERIFY(kv.load(path("first.txt")));
        QVERIFY(!kv.load(path("missing.txt")));
        QCOMPARE(kv.getInt("b", 0), 2);
        QVERIFY(kv.setInt("c", 3));
    } // the destructor saves

    QCOMPARE(readAll(path("missing.txt")), "b=2\nc=3\n");
    QCOMPARE(readAll(path("first.txt")), "b=2\n");
}

void tst_KeyValueFile::settingKeyTwiceKeepsOneLine()
{
    writeAll(path(), "z=9\na=1\n");
    KeyValueFile kv;
    QVERIFY(kv.load(path()));
    QVERIFY(kv.setInt("m", 1));
    QVERIFY(kv.setInt("m", 2));
    QCOMPARE(kv.getInt("m", 0), 2);
    QVERIFY(kv.save());
    QCOMPARE(readAll(path()), "a=1\nm=2\nz=9\n");
}

void tst_KeyValueFile::duplicateKeysUseFirstLine()
{
    writeAll(path(), "k=2\nk=1\n");
    KeyValueFile kv;
    QVERIFY(kv.load(path()));
    QCOMPARE(kv.getInt("k", 0), 1);
    // Only the first line is replaced; the older second one now comes first.
    QVERIFY(kv.setInt("k", 9));
    QCOMPARE(kv.getInt("k", 0), 2);
    QVERIFY(kv.save());
    QCOMPARE(readAll(path()), "k=2\nk=9\n");
}

void tst_KeyValueFile::removeLine_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QByteArray>("saved");

    QTest::newRow("text in a value")
        << QByteArray("a=1\nb=needle\nc=3\n") << "needle" << true << QByteArray("a=1\nc=3\n");
    QTest::newRow("text in a key") << QByteArray("a=1\nkey=2\n") << "ke" << true << QByteArray("a=1\n");
    QTest::newRow("first of several") << QByteArray("a=x\nb=x\n") << "x" << true << QByteArray("b=x\n");
    QTest::newRow("case-sensitive") << QByteArray("a=X\n") << "x" << false << QByteArray("a=X\n");
    QTest::newRow("no match still rewrites sorted")
        << QByteArray("b=1\na=2\n") << "zzz" << false << QByteArray("a=2\nb=1\n");
}

void tst_KeyValueFile::removeLine()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, text);
    writeAll(path(), content);

    KeyValueFile kv;
    QVERIFY(kv.load(path()));
    QTEST(kv.removeLine(text), "found");
    QVERIFY(kv.save());
    QTEST(readAll(path()), "saved");
}

void tst_KeyValueFile::unchangedObjectNeverWrites()
{
    {
        KeyValueFile kv;
        QVERIFY(!kv.load(path("missing.txt")));
        QCOMPARE(kv.getInt("a", 3), 3);
        QVERIFY(kv.save());
    }
    QVERIFY(!QFile::exists(path("missing.txt")));

    writeAll(path(), "b=1\na=2\n");
    {
        KeyValueFile kv;
        QVERIFY(kv.load(path()));
        writeAll(path(), "changed=elsewhere\n");
        QVERIFY(kv.save());
    }
    QCOMPARE(readAll(path()), "changed=elsewhere\n");
}

void tst_KeyValueFile::failedSaveKeepsChanges_data()
{
    QTest::addColumn<QString>("badPath");
    QTest::newRow("parent is a regular file") << QStringLiteral("plain/values.txt");
    QTest::newRow("under /proc") << QStringLiteral("/proc/zw-kvfile-test.txt");
    QTest::newRow("never named") << QString();
}

void tst_KeyValueFile::failedSaveKeepsChanges()
{
    QFETCH(QString, badPath);
    writeAll(path("plain"), "not a directory\n");

    KeyValueFile kv;
    if (!badPath.isNull())
        QVERIFY(!kv.load(QDir(dir->path()).filePath(badPath)));
    QVERIFY(kv.setInt("a", 1));
    QVERIFY(!kv.save());
    QVERIFY(!kv.save()); // still pending, still failing

    QVERIFY(!kv.load(path()));
    QVERIFY(kv.save());
    QCOMPARE(readAll(path()), "a=1\n");
}

void tst_KeyValueFile::lineBreakIsRefused_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::newRow("LF in value") << "k" << "x\ny=1";
    QTest::newRow("CR in value") << "k" << "x\r";
    QTest::newRow("CRLF in value") << "k" << "x\r\ny";
    QTest::newRow("LF in key") << "k\nz" << "1";
    QTest::newRow("CR in key") << "k\r" << "1";
}

void tst_KeyValueFile::lineBreakIsRefused()
{
    QFETCH(QString, key);
    QFETCH(QString, value);
    const QByteArray content = "b=2\na=1\n";
    writeAll(path(), content);

    KeyValueFile kv;
    QVERIFY(kv.load(path()));
    QVERIFY(!kv.setString(key, value));
    if (key != "k")
        QVERIFY(!kv.setInt(key, 1));
    QCOMPARE(kv.getString("k", "none"), QString("none"));
    QVERIFY(kv.save());
    QCOMPARE(readAll(path()), content); // nothing changed, nothing written

    QVERIFY(kv.setString("c", "3"));
    QVERIFY(kv.save());
    QCOMPARE(readAll(path()), "a=1\nb=2\nc=3\n");
}

void tst_KeyValueFile::nonAsciiSurvivesSaveAndLoad()
{
    const QString key = QStringLiteral("Größe");
    // All of it in UTF-8; in a single-byte code page what Latin-1 has too.
    const QString value = systemEncodingIsUtf8() ? QStringLiteral("Ärger € 😀") : QStringLiteral("Ärger");
    const QByteArray stored = (key + "=" + value + "\na=naïve\n").toLocal8Bit();
    {
        KeyValueFile kv;
        QVERIFY(!kv.load(path()));
        QVERIFY(kv.setString(key, value));
        QVERIFY(kv.setString("a", "naïve"));
    }
    QCOMPARE(readAll(path()), stored);

    KeyValueFile kv;
    QVERIFY(kv.load(path()));
    QCOMPARE(kv.getString(key, QString()), value);
    QVERIFY(kv.setInt("n", 1)); // another save must not alter the old lines
    QVERIFY(kv.save());
    QCOMPARE(readAll(path()), stored + "n=1\n");
    QVERIFY(kv.removeLine("Ärger"));
    QCOMPARE(kv.getString(key, "gone"), QString("gone"));
}

void tst_KeyValueFile::unpairedSurrogateReadsAsReplacement()
{
    if (!systemEncodingIsUtf8())
        QSKIP("U+FFFD has no place in a single-byte code page");
    const QChar high(0xD83D);
    const QChar low(0xDE00);
    const QString key = QStringLiteral("k") + high;
    const QString replaced = QStringLiteral("\uFFFDv\uFFFD");
    {
        KeyValueFile kv;
        QVERIFY(!kv.load(path()));
        QVERIFY(kv.setString(key, low + QStringLiteral("v") + high));
        QCOMPARE(kv.getString(key, "none"), replaced);
        QCOMPARE(kv.getString(QStringLiteral("k\uFFFD"), "none"), replaced);
    }
    QCOMPARE(readAll(path()), "k\xEF\xBF\xBD=\xEF\xBF\xBDv\xEF\xBF\xBD\n");

    KeyValueFile kv;
    QVERIFY(kv.load(path()));
    QCOMPARE(kv.getString(key, "none"), replaced);
    QVERIFY(kv.removeLine(QString(low)));
    QCOMPARE(kv.getString(key, "none"), QString("none"));
}

void tst_KeyValueFile::loadedUnpairedSurrogateReadsAsReplacement()
{
    if (!systemEncodingIsUtf8())
        QSKIP("U+FFFD has no place in a single-byte code page");
    // UTF-16LE behind its byte-order mark: "a=" D800 LF "e=" U+1F600 LF.
    writeAll(path(), QByteArray("\xFF\xFE" "a\0=\0\x00\xD8\n\0" "e\0=\0\x3D\xD8\x00\xDE\n\0", 20));
    KeyValueFile kv;
    QVERIFY(kv.load(path()));
    QCOMPARE(kv.getString("a", "none"), QStringLiteral("\uFFFD"));
    QVERIFY(!kv.removeLine("\x01")); // marks it modified, removes nothing
    QVERIFY(kv.save());
    QCOMPARE(readAll(path()), "a=\xEF\xBF\xBD\ne=😀\n");
    // Half of U+1F600 is U+FFFD too: the first line goes, the pair stays.
    QVERIFY(kv.removeLine(QChar(0xD83D)));
    QVERIFY(kv.save());
    QCOMPARE(readAll(path()), "e=😀\n");
}

void tst_KeyValueFile::killDuringSaveLeavesWholeFile()
{
    constexpr int kRounds = 25;
    writeAll(path(), bigFile(0));

    qint64 lastGeneration = 0;
    for (int round = 0; round < kRounds; ++round) {
        QProcess saver;
        saver.start(ZW_KVFILE_SAVELOOP, {path()});
        QVERIFY(saver.waitForStarted(int(kProcessStartTimeout.count())));
        QVERIFY(saver.waitForReadyRead(int(kFirstSaveTimeout.count())));
        QThread::usleep(QRandomGenerator::global()->bounded(30'000));
        saver.kill(); // SIGKILL
        QVERIFY(saver.waitForFinished(int(kProcessEndTimeout.count())));

        const QByteArray content = readAll(path());
        const qsizetype end = content.indexOf('\n');
        const qint64 generation = content.mid(6, end - 6).toLongLong();
        QVERIFY2(content == bigFile(generation),
                 qPrintable(QString("round %1: %2 bytes, not a whole file")
                                .arg(round).arg(content.size())));
        QVERIFY(generation > lastGeneration);
        lastGeneration = generation;
    }
}

QTEST_GUILESS_MAIN(tst_KeyValueFile)
#include "tst_keyvaluefile.moc"
