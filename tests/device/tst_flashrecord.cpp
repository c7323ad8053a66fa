#include "PtyPeer.h"

#include "device/FlashRecord.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QStringList AllKeys {"time", "program", "version", "host", "user", "port", "device", "usb_vid", "usb_pid",
                           "usb_serial", "usb_description", "firmware_before", "file", "file_size", "file_sha256",
                           "image_length", "blocks", "result", "failure", "message", "block", "seconds"};

QList<QByteArray> recordLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QList<QByteArray> lines = file.readAll().split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

} // namespace

class FlashRecordTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void entryHoldsEveryFact();
    void outcomesAreNamedForScripts_data();
    void outcomesAreNamedForScripts();
    void appendsToTheUsersDataFolder();
    void unwritableRecordSaysWhy();
    void processesAppendingAtOnceNeverInterleave();

private:
    std::unique_ptr<QTemporaryDir> home;
};

void FlashRecordTest::init()
{
    home = std::make_unique<QTemporaryDir>();
    qputenv("XDG_DATA_HOME", home->filePath("share").toLocal8Bit());
}

void FlashRecordTest::entryHoldsEveryFact()
{
    PtyPeer peer;
    FlashRecordFacts facts;
    facts.program = FlashRecord::ProgramFlasher;
    facts.port = QStringLiteral("COM3");
    facts.device = peer.devicePath();
    facts.firmwareBefore = 105;
    facts.file = QStringLiteral("/tmp/fw.hex");
    facts.fileSize = 1234;
    facts.fileSha256 = QCryptographicHash::hash("fw", QCryptographicHash::Sha256);
    facts.imageLength = 255;
    facts.outcome = FlashOutcome(FlashOutcome::Failure::NoReply, true, 2, 4);
    facts.seconds = 3.14159;
    const QJsonObject entry = FlashRecord::entry(facts);

    QStringList keys = AllKeys;
    keys.sort();
    QCOMPARE(entry.keys(), keys);
    QVERIFY(QRegularExpression("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}Z$")
                    .match(entry["time"].toString()).hasMatch());
    QCOMPARE(entry["program"].toString(), "zirbelwerk-flash");
    QCOMPARE(entry["port"].toString(), "COM3");
    QCOMPARE(entry["device"].toString(), peer.devicePath());
    for (const char *key : {"usb_vid", "usb_pid", "usb_serial", "usb_description"})
        QVERIFY2(entry[key].isNull(), key);
    QCOMPARE(entry["firmware_before"].toString(), "V1.05");
    QCOMPARE(entry["file_size"].toInteger(), 1234);
    QCOMPARE(entry["file_sha256"].toString(), QCryptographicHash::hash("fw", QCryptographicHash::Sha256).toHex());
    QCOMPARE(entry["image_length"].toInt(), 255);
    QCOMPARE(entry["blocks"].toInt(), 4);
    QCOMPARE(entry["block"].toInt(), 2);
    QCOMPARE(entry["message"].toString(), facts.outcome.text() + ". " + facts.outcome.advice());
    QCOMPARE(entry["seconds"].toDouble(), 3.142);
}

void FlashRecordTest::outcomesAreNamedForScripts_data()
{
    using F = FlashOutcome::Failure;
    QTest::addColumn<FlashOutcome>("outcome");
    QTest::addColumn<QString>("result");
    QTest::addColumn<QJsonValue>("failure");
    QTest::addColumn<int>("block");
    QTest::newRow("written") << FlashOutcome(F::None, true, 4, 4) << "written" << QJsonValue() << 4;
    QTest::newRow("interrupted") << FlashOutcome(F::Interrupted, true, 3, 4) << "interrupted"
                                 << QJsonValue("interrupted") << 3;
    QTest::newRow("refused") << FlashOutcome(F::NotConnected, false, 1, 4) << "failed"
                             << QJsonValue("not_connected") << 0;
}

void FlashRecordTest::outcomesAreNamedForScripts()
{
    QFETCH(FlashOutcome, outcome);
    FlashRecordFacts facts;
    facts.outcome = outcome;
    const QJsonObject entry = FlashRecord::entry(facts);
    QTEST(entry["result"].toString(), "result");
    QTEST(entry["failure"], "failure");
    QTEST(entry["block"].toInt(), "block");
    QVERIFY(entry["file"].isNull());
    QVERIFY(entry["firmware_before"].isNull());
}

void FlashRecordTest::appendsToTheUsersDataFolder()
{
    FlashRecord record;
    QCOMPARE(record.path(), home->filePath("share/zirbelwerk/flash-record.jsonl"));
    FlashRecordFacts facts;
    facts.program = FlashRecord::ProgramWindow;
    QVERIFY2(record.append(FlashRecord::entry(facts)), qPrintable(record.errorString()));
    const QByteArray first = recordLines(record.path()).value(0);
    facts.outcome = FlashOutcome(FlashOutcome::Failure::NoReply, true, 1, 1);
    QVERIFY(record.append(FlashRecord::entry(facts)));
    const QList<QByteArray> lines = recordLines(record.path());
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines[0], first);
    QCOMPARE(QJsonDocument::fromJson(lines[1])["failure"].toString(), "no_reply");
}

void FlashRecordTest::unwritableRecordSaysWhy()
{
    // A file where the folder should be stops even root.
    QFile blocker(home->filePath("share"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    FlashRecord record;
    QVERIFY(!record.append(FlashRecord::entry({})));
    QVERIFY2(record.errorString().startsWith("Flash-Protokoll nicht geschrieben: " + record.path()),
             qPrintable(record.errorString()));
}

void FlashRecordTest::processesAppendingAtOnceNeverInterleave()
{
    constexpr int Count = 150;
    const QString path = FlashRecord::defaultPath();
    QProcess first;
    QProcess second;
    first.start(ZW_FLASHRECORD_APPEND, {path, QString::number(Count), "first"});
    second.start(ZW_FLASHRECORD_APPEND, {path, QString::number(Count), "second"});
    for (QProcess *process : {&first, &second}) {
        QVERIFY(process->waitForFinished(60000));
        QCOMPARE(process->exitCode(), 0);
    }
    const QList<QByteArray> lines = recordLines(path);
    QCOMPARE(lines.size(), 2 * Count);
    QMap<QString, int> perProgram;
    for (const QByteArray &line : lines) {
        QJsonParseError error {};
        const QJsonDocument entry = QJsonDocument::fromJson(line, &error);
        QCOMPARE(error.error, QJsonParseError::NoError);
        ++perProgram[entry["program"].toString()];
    }
    QCOMPARE(perProgram.value("first"), Count);
    QCOMPARE(perProgram.value("second"), Count);
}

QTEST_GUILESS_MAIN(FlashRecordTest)
#include "tst_flashrecord.moc"
