#include "FlashStreamCheck.h"
#include "ScriptedLine.h"

#include "record/FlashRecord.h"
#include "device/WriteSession.h"

#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace std::chrono_literals;

namespace {

constexpr qint32 ImageLength = 0xFF; // four blocks

// The instrument's side, played on the scripted line: a release byte for
// each block the host waits for, once what it sent has left; eager, it
// answers whether or not anything left.
void answerBlocks(ScriptedLine &line, const FlashStreamCheck &check, const WriteSession &session, bool eager)
{
    while (session.isRunning()) {
        line.flush();
        const bool waited = line.bytesToWrite() == 0 && check.released() <= check.blocksStarted();
        if ((eager || waited) && !check.complete())
            line.deliver(QByteArray(1, char(0x6B)));
        line.notify();
        QTest::qWait(2);
    }
}

} // namespace

// The write session against a scripted line: what "written" means, and
// that every way a write ends reaches the record.
class WriteSessionTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void outcomeReachesTheRecord_data();
    void outcomeReachesTheRecord();
};

void WriteSessionTest::outcomeReachesTheRecord_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("written");
    QTest::addColumn<QString>("failure");
    QTest::newRow("answered") << "answered" << true << QString();
    // Bytes that never leave the computer are not written, however the
    // instrument answered before.
    QTest::newRow("bytes stay in the port") << "held" << false << "send_timeout";
    QTest::newRow("no open line") << "none" << false << "not_connected";
}

void WriteSessionTest::outcomeReachesTheRecord()
{
    QFETCH(QString, line);
    QFETCH(bool, written);
    QFETCH(QString, failure);
    QTemporaryDir folder;
    FlashRecord record(folder.filePath("record.jsonl"));
    WriteSession session(FlashRecord::ProgramFlasher, record);
    session.flashWriter().setReplyTimeouts(500ms, 500ms);
    session.flashWriter().setSendTimeout(500ms);
    const FirmwareImage image = emptyFirmwareImage();
    FlashStreamCheck check(image, ImageLength);
    ScriptedLine scripted(&check);
    scripted.open(QIODevice::ReadWrite | QIODevice::Unbuffered);
    scripted.setHeld(line == QLatin1String("held"));
    QSignalSpy finished(&session, &WriteSession::finished);
    QSignalSpy appended(&record, &FlashRecord::appended);

    const bool began = session.start(line == QLatin1String("none") ? nullptr : &scripted, {"COM1", "/dev/x", 123},
                                     image, ImageLength);
    QCOMPARE(began, line != QLatin1String("none"));
    // A second write while one runs is refused without a word.
    QVERIFY(!began || !session.start(&scripted, {"COM1", "/dev/x", 123}, image, ImageLength));
    answerBlocks(scripted, check, session, line == QLatin1String("held"));
    QTRY_COMPARE(finished.size(), 1);
    QCOMPARE(finished.at(0).at(0).toBool(), written);
    // Written: the whole stream made and out of this computer.
    QCOMPARE(check.complete() && scripted.bytesToWrite() == 0, written);
    QVERIFY(appended.wait(5000) || appended.size() == 1);
    const QJsonObject entry = session.recordEntry();
    QCOMPARE(entry.value("result").toString(), written ? QStringLiteral("written") : QStringLiteral("failed"));
    QCOMPARE(entry.value("failure").toString(), failure);
    QCOMPARE(entry.value("port").toString(), QStringLiteral("COM1"));
    QCOMPARE(entry.value("firmware_before").toString(), QStringLiteral("V1.23"));
}

QTEST_GUILESS_MAIN(WriteSessionTest)
#include "tst_writesession.moc"
