#include "PtyPeer.h"

#include "device/FlashRecordFacts.h"
#include "record/FlashRecord.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QStringList AllKeys {"time", "program", "station", "version", "host", "user", "port", "device", "usb_vid", "usb_pid",
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

bool appendNow(FlashRecord &record, const QJsonObject &entry)
{
    QSignalSpy appended(&record, &FlashRecord::appended);
    record.append(entry);
    return appended.wait(5000) && appended.at(0).at(0).toBool();
}

// Another process's lock, as flock sees it: a description of its own.
struct ForeignLock
{
    int fd = -1;
    explicit ForeignLock(const QString &path)
    {
        fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT, 0644);
        ::flock(fd, LOCK_EX);
    }
    ~ForeignLock() { release(); }
    void release()
    {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
};

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
    void brokenLastLineIsNotAppendedOnto();
    void recordThatIsNoFileIsRefusedAtOnce_data();
    void recordThatIsNoFileIsRefusedAtOnce();
    void linksInSharedFoldersAreFollowedOnlyWhenOwn_data();
    void linksInSharedFoldersAreFollowedOnlyWhenOwn();
    void heldLockIsWaitedForOnTheEventLoop_data();
    void heldLockIsWaitedForOnTheEventLoop();
    void lastWriteIsFoundFromTheEnd();

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
    const QJsonObject entry = facts.entry();

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
    const QJsonObject entry = facts.entry();
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
    QVERIFY2(appendNow(record, facts.entry()), qPrintable(record.errorString()));
    const QByteArray first = recordLines(record.path()).value(0);
    facts.outcome = FlashOutcome(FlashOutcome::Failure::NoReply, true, 1, 1);
    QVERIFY(appendNow(record, facts.entry()));
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
    QVERIFY(!appendNow(record, FlashRecordFacts{}.entry()));
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

// A power cut during an earlier append left half a line.
void FlashRecordTest::brokenLastLineIsNotAppendedOnto()
{
    FlashRecord record;
    QVERIFY(QDir().mkpath(QFileInfo(record.path()).absolutePath()));
    QFile file(record.path());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("{\"b\":2,\"trunc");
    file.close();
    QVERIFY(appendNow(record, FlashRecordFacts{}.entry()));
    const QList<QByteArray> lines = recordLines(record.path());
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines[0], QByteArray("{\"b\":2,\"trunc"));
    QVERIFY(QJsonDocument::fromJson(lines[1]).isObject());
}

void FlashRecordTest::recordThatIsNoFileIsRefusedAtOnce_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("FIFO without reader") << "fifo";
    QTest::newRow("device") << "/dev/null";
}

// Opening a FIFO for writing waits for a reader, for ever.
void FlashRecordTest::recordThatIsNoFileIsRefusedAtOnce()
{
    QFETCH(QString, kind);
    QString path = kind;
    if (kind == QLatin1String("fifo")) {
        path = home->filePath("record.fifo");
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0644), 0);
    }
    FlashRecord record(path);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!appendNow(record, FlashRecordFacts{}.entry()));
    QVERIFY(clock.elapsed() < 1000);
    QVERIFY2(record.errorString().endsWith("keine gewoehnliche Datei"), qPrintable(record.errorString()));
}

void FlashRecordTest::linksInSharedFoldersAreFollowedOnlyWhenOwn_data()
{
    QTest::addColumn<bool>("sharedFolder");
    QTest::addColumn<bool>("foreignLink");
    QTest::addColumn<bool>("targetExists");
    QTest::addColumn<bool>("written");
    QTest::addColumn<bool>("hardLink");
    QTest::newRow("another user's link, shared folder") << true << true << true << false << false;
    QTest::newRow("another user's dangling link, shared folder") << true << true << false << false << false;
    QTest::newRow("own dangling link, shared folder") << true << false << false << false << false;
    QTest::newRow("own link, shared folder") << true << false << true << true << false;
    QTest::newRow("another user's link, own folder") << false << true << true << true << false;
    QTest::newRow("a second name, shared folder") << true << false << true << false << true;
}

// A record in /tmp: another user's link there must not lead root's
// line into a file of root's, nor create one.
void FlashRecordTest::linksInSharedFoldersAreFollowedOnlyWhenOwn()
{
    QFETCH(bool, sharedFolder);
    QFETCH(bool, foreignLink);
    QFETCH(bool, targetExists);
    QFETCH(bool, written);
    QFETCH(bool, hardLink);
    if (foreignLink && ::geteuid() != 0)
        QSKIP("another user's link needs root to make");
    QTemporaryDir folder;
    QVERIFY(QFile::setPermissions(folder.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                         | QFileDevice::ExeOwner | QFileDevice::ReadOther
                                                         | QFileDevice::WriteOther | QFileDevice::ExeOther));
    if (sharedFolder)
        QCOMPARE(::chmod(QFile::encodeName(folder.path()).constData(), 01777), 0);
    const QString target = home->filePath("victim");
    if (targetExists)
        QVERIFY(QFile(target).open(QIODevice::WriteOnly));
    const QByteArray link = QFile::encodeName(folder.filePath("record.jsonl"));
    if (hardLink)
        QCOMPARE(::link(QFile::encodeName(target).constData(), link.constData()), 0);
    else
        QCOMPARE(::symlink(QFile::encodeName(target).constData(), link.constData()), 0);
    if (foreignLink)
        QCOMPARE(::lchown(link.constData(), 65534, 65534), 0);
    FlashRecord record(folder.filePath("record.jsonl"));
    QCOMPARE(appendNow(record, FlashRecordFacts{}.entry()), written);
    QCOMPARE(QFileInfo(target).exists(), targetExists);
    QCOMPARE(QFileInfo(target).size() > 0, written);
}

void FlashRecordTest::heldLockIsWaitedForOnTheEventLoop_data()
{
    QTest::addColumn<int>("releaseAfterMs");
    QTest::addColumn<bool>("written");
    QTest::newRow("released in time") << 100 << true;
    QTest::newRow("held too long") << -1 << false;
}

void FlashRecordTest::heldLockIsWaitedForOnTheEventLoop()
{
    QFETCH(int, releaseAfterMs);
    QFETCH(bool, written);
    FlashRecord record;
    record.setLockWait(std::chrono::milliseconds(300));
    QVERIFY(QDir().mkpath(QFileInfo(record.path()).absolutePath()));
    ForeignLock other(record.path());
    if (releaseAfterMs >= 0)
        QTimer::singleShot(releaseAfterMs, [&other] { other.release(); });
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
    ticker.start(10);
    QCOMPARE(appendNow(record, FlashRecordFacts{}.entry()), written);
    QVERIFY2(ticks >= 5, "the event loop stood still while the lock was held");
    QCOMPARE(recordLines(record.path()).size(), written ? 1 : 0);
    if (!written)
        QVERIFY2(record.errorString().contains("gesperrt"), qPrintable(record.errorString()));
}

void FlashRecordTest::lastWriteIsFoundFromTheEnd()
{
    FlashRecord record;
    FlashRecordFacts facts;
    facts.device = QStringLiteral("/dev/ttyUSB0");
    facts.outcome = FlashOutcome(FlashOutcome::Failure::NoReply, true, 1, 4);
    QVERIFY(appendNow(record, facts.entry()));
    QFile file(record.path());
    QVERIFY(file.open(QIODevice::Append));
    file.write("not json /dev/ttyUSB1\n{\"device\":\"/dev/ttyUSB0\",\"res");
    file.close();
    QVERIFY(record.lastWriteUnfinished(QStringLiteral("/dev/ttyUSB0")));
    QVERIFY(!record.lastWriteUnfinished(QStringLiteral("/dev/ttyUSB1")));
    facts.outcome = FlashOutcome(FlashOutcome::Failure::None, true, 4, 4);
    QVERIFY(appendNow(record, facts.entry()));
    QVERIFY(!record.lastWriteUnfinished(QStringLiteral("/dev/ttyUSB0")));
}

QTEST_GUILESS_MAIN(FlashRecordTest)
#include "tst_flashrecord.moc"
