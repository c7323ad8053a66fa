#include "i18n/Translation.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

namespace {

struct Message
{
    QString context, source, comment, translation, type;
};

QList<Message> readCatalogue(const QString &path)
{
    QList<Message> messages;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return messages;
    QXmlStreamReader xml(&file);
    QString context;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("name"))
            context = xml.readElementText();
        else if (xml.name() == QLatin1String("message"))
            messages.append({context, {}, {}, {}, {}});
        else if (xml.name() == QLatin1String("source"))
            messages.last().source = xml.readElementText();
        else if (xml.name() == QLatin1String("comment"))
            messages.last().comment = xml.readElementText();
        else if (xml.name() == QLatin1String("translation")) {
            messages.last().type = xml.attributes().value(QLatin1String("type")).toString();
            messages.last().translation = xml.readElementText();
        }
    }
    return xml.hasError() ? QList<Message>() : messages;
}

QSet<QString> placeholders(const QString &text)
{
    static const QRegularExpression marker(QStringLiteral("%\\d+"));
    QSet<QString> found;
    for (const auto &match : marker.globalMatch(text))
        found.insert(match.captured());
    return found;
}

// Every message translated, none left unfinished or kept after its source went.
void verifyComplete(const QList<Message> &messages)
{
    QVERIFY(messages.size() > 50);
    for (const Message &message : messages) {
        const QString where = message.context + QStringLiteral(": ") + message.source;
        QVERIFY2(message.type.isEmpty(), qPrintable(message.type + QStringLiteral(" ") + where));
        QVERIFY2(!message.translation.trimmed().isEmpty(), qPrintable(where));
        QVERIFY2(placeholders(message.translation) == placeholders(message.source), qPrintable(where));
    }
}

QSet<QString> keys(const QList<Message> &messages)
{
    QSet<QString> found;
    for (const Message &message : messages)
        found.insert(message.context + QLatin1Char('|') + message.source + QLatin1Char('|') + message.comment);
    return found;
}

} // namespace

class TranslationTest : public QObject
{
    Q_OBJECT

private slots:
    void complete();
    void inStepWithTheSources();
    void englishOnlyWhenNamedFirst_data();
    void englishOnlyWhenNamedFirst();
};

void TranslationTest::complete()
{
    const QList<Message> messages = readCatalogue(QStringLiteral(ZW_CATALOGUE));
    verifyComplete(messages);
    const QSet<QString> found = keys(messages);
    QVERIFY(found.contains(QStringLiteral("ZirbelWerk|HEX-Datei|")));
    for (const Message &message : messages)
        QVERIFY2(!message.source.startsWith(QLatin1String("ZirbelWerk V")), "the window title never changes");
}

// lupdate over today's sources adds and drops nothing.
void TranslationTest::inStepWithTheSources()
{
    QTemporaryDir dir;
    const QString copy = dir.filePath(QStringLiteral("zirbelwerk_en.ts"));
    QVERIFY(QFile::copy(QStringLiteral(ZW_CATALOGUE), copy));
    QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);
    QProcess lupdate;
    lupdate.setProcessChannelMode(QProcess::MergedChannels);
    lupdate.start(QStringLiteral(ZW_LUPDATE),
                  QString::fromUtf8(ZW_LUPDATE_ARGUMENTS).split(QLatin1Char('\n'))
                          << QStringLiteral("-ts") << copy);
    QVERIFY(lupdate.waitForFinished(120000));
    QVERIFY2(lupdate.exitCode() == 0, lupdate.readAll().constData());

    const QList<Message> updated = readCatalogue(copy);
    verifyComplete(updated);
    QCOMPARE(keys(updated), keys(readCatalogue(QStringLiteral(ZW_CATALOGUE))));
}

void TranslationTest::englishOnlyWhenNamedFirst_data()
{
    QTest::addColumn<QStringList>("uiLanguages");
    QTest::addColumn<bool>("english");
    QTest::newRow("en") << QStringList {"en", "en-Latn-US"} << true;
    QTest::newRow("en-GB") << QStringList {"en-GB", "de"} << true;
    QTest::newRow("C") << QStringList {"C"} << false;
    QTest::newRow("none") << QStringList {} << false;
    QTest::newRow("de before en") << QStringList {"de-DE", "en"} << false;
    QTest::newRow("fr") << QStringList {"fr-FR"} << false;
    QTest::newRow("not en") << QStringList {"eo"} << false;
}

void TranslationTest::englishOnlyWhenNamedFirst()
{
    QFETCH(QStringList, uiLanguages);
    QFETCH(bool, english);
    QCOMPARE(Translation::wantsEnglish(uiLanguages), english);
}

QTEST_GUILESS_MAIN(TranslationTest)
#include "tst_translation.moc"
