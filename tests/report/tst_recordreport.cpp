#include "device/FlashOutcome.h"
#include "report/FlashReport.h"
#include "report/RecordReader.h"
#include "report/ReportPage.h"

#include <QDateTime>
#include <QTimeZone>
#include <QTemporaryDir>
#include <QTest>

#include <ctime>

namespace {

const QString StationA = QStringLiteral(ZW_TEST_DATA "/report/station-a.jsonl");
const QString StationB = QStringLiteral(ZW_TEST_DATA "/report/station-b.jsonl");
const QString Broken = QStringLiteral(ZW_TEST_DATA "/report/broken.jsonl");

QString talliesOf(const QList<RecordSummary::Named> &named)
{
    QStringList text;
    for (const RecordSummary::Named &one : named)
        text << QStringLiteral("%1 %2/%3").arg(one.name).arg(one.tally.written).arg(one.tally.failed);
    return text.join(QStringLiteral("; "));
}

QString countsOf(const QList<RecordSummary::Count> &counts)
{
    QStringList text;
    for (const RecordSummary::Count &count : counts)
        text << QStringLiteral("%1 %2").arg(count.name).arg(count.count);
    return text.join(QStringLiteral("; "));
}

} // namespace

class RecordReportTest : public QObject
{
    Q_OBJECT

    bool berlin = false;

private slots:
    void initTestCase();
    void figuresOfOneStation();
    void stationsMergedAndToldApart();
    void brokenLinesCountedAndSkipped();
    void periodOfDaysAndMoments_data();
    void periodOfDaysAndMoments();
    void adviceComesFromTheCodeNotTheLine();
    void valuesFromTheRecordStayData();
    void statusesOfARun();
};

// A shift's days are local: a write at 22:00 UTC in May is the next day here.
void RecordReportTest::initTestCase()
{
    qputenv("TZ", "Europe/Berlin");
    ::tzset();
    // Under Wine the zone comes from the prefix, not from TZ.
    const QDateTime lateInMay(QDate(2024, 5, 5), QTime(22, 0), QTimeZone::utc());
    berlin = lateInMay.toLocalTime().time() == QTime(0, 0);
}

void RecordReportTest::figuresOfOneStation()
{
    if (!berlin)
        QSKIP("the local time zone cannot be set to Europe/Berlin here");
    RecordReader reader;
    QVERIFY(reader.read(StationA));
    const RecordSummary &sum = reader.summary();
    QCOMPARE(reader.readableLines(), 7);
    QCOMPARE(reader.skippedLines(), 0);
    QCOMPARE(sum.total().written, 4);
    QCOMPARE(sum.total().failed, 3);
    const QMap<QDate, RecordSummary::Tally> days = sum.days();
    QCOMPARE(days.size(), 2);
    QCOMPARE(days.value(QDate(2024, 5, 6)).written, 3);
    QCOMPARE(days.value(QDate(2024, 5, 6)).failed, 1);
    QCOMPARE(days.value(QDate(2024, 5, 7)).failed, 2);
    QCOMPARE(countsOf(sum.reasons()), QStringLiteral("interrupted 1; line_lost 1; no_reply 1"));
    QCOMPARE(countsOf(sum.versionsBefore()), QStringLiteral("V1.20 5;  1; V1.23 1"));
    const QList<RecordSummary::Firmware> firmwares = sum.firmwares();
    QCOMPARE(firmwares.size(), 2);
    QCOMPARE(firmwares.at(0).file, QStringLiteral("app-1.23.hex"));
    QCOMPARE(firmwares.at(0).blocks, 1000);
    QCOMPARE(firmwares.at(0).failedAtBlock, (QMap<int, qint64> {{7, 1}, {512, 2}}));
    QCOMPARE(firmwares.at(1).file, QStringLiteral("app-1.24.hex")); // a Windows path, escaped
    QCOMPARE(firmwares.at(1).blocks, 800);
    const QList<RecordSummary::PortSeconds> ports = sum.portSeconds();
    QCOMPARE(ports.size(), 2);
    QCOMPARE(ports.at(0).name, QStringLiteral("COM1 (FT232R USB UART)"));
    QCOMPARE(ports.at(0).writes, 3);
    QCOMPARE(ports.at(0).tenths, (std::map<int, qint64> {{399, 1}, {400, 1}, {410, 1}}));
    QCOMPARE(ports.at(1).name, QStringLiteral("COM2 (CH340)"));
}

void RecordReportTest::stationsMergedAndToldApart()
{
    RecordReader reader;
    QVERIFY(reader.read(StationA));
    QVERIFY(reader.read(StationB));
    const RecordSummary &sum = reader.summary();
    QCOMPARE(talliesOf(sum.stations()), QStringLiteral("line1 / A 4/3; line2 1/1"));
    QCOMPARE(sum.firmwares().at(0).tally.total(), 8);
    QCOMPARE(sum.portSeconds().at(0).name, QStringLiteral("line1 / A: COM1 (FT232R USB UART)"));
    // The newest failure first, whichever record it came from.
    const QList<RecordSummary::Failure> failures = sum.lastFailures();
    QCOMPARE(failures.size(), 4);
    QCOMPARE(failures.at(0).station, QStringLiteral("line2"));
    QCOMPARE(failures.at(0).code, QStringLiteral("send_timeout"));
    QCOMPARE(failures.at(1).code, QStringLiteral("interrupted"));
    QCOMPARE(failures.at(3).code, QStringLiteral("no_reply"));
}

void RecordReportTest::brokenLinesCountedAndSkipped()
{
    // Cut off, no JSON, no result, no time, trailing text; empty lines are no lines.
    RecordReader reader;
    QVERIFY(reader.read(Broken));
    QCOMPARE(reader.skippedLines(), 5);
    QCOMPARE(reader.readableLines(), 2);
    QCOMPARE(reader.summary().total().written, 2);
}

void RecordReportTest::periodOfDaysAndMoments_data()
{
    QTest::addColumn<QString>("since");
    QTest::addColumn<QString>("until");
    QTest::addColumn<qint64>("attempts");
    QTest::newRow("all") << QString() << QString() << qint64(9);
    QTest::newRow("from a local day") << "2024-05-07" << QString() << qint64(4);
    QTest::newRow("up to a local day, all of it") << QString() << "2024-05-06" << qint64(5);
    QTest::newRow("one day") << "2024-05-06" << "2024-05-06" << qint64(5);
    QTest::newRow("local moments, both included") << "2024-05-06T08:05" << "2024-05-06T12:00" << qint64(3);
    QTest::newRow("one moment in UTC") << "2024-05-06T06:05:00Z" << "2024-05-06T06:05:00Z" << qint64(1);
    QTest::newRow("a zone of its own") << "2024-05-08T09:59+02:00" << QString() << qint64(1);
}

void RecordReportTest::periodOfDaysAndMoments()
{
    if (!berlin)
        QSKIP("the local time zone cannot be set to Europe/Berlin here");
    QFETCH(QString, since);
    QFETCH(QString, until);
    QFETCH(qint64, attempts);
    ReportPeriod period;
    if (!since.isEmpty())
        period.startMs = ReportPeriod::edge(since, ReportPeriod::Edge::Start).value();
    if (!until.isEmpty())
        period.endMs = ReportPeriod::edge(until, ReportPeriod::Edge::End).value();
    RecordReader reader(period);
    QVERIFY(reader.read(StationA));
    QVERIFY(reader.read(StationB));
    QCOMPARE(reader.summary().total().total(), attempts);
    QCOMPARE(reader.readableLines(), 9);
    QVERIFY(!ReportPeriod::edge(QStringLiteral("2024-02-30"), ReportPeriod::Edge::Start));
    QVERIFY(!ReportPeriod::edge(QStringLiteral("gestern"), ReportPeriod::Edge::End));
}

void RecordReportTest::adviceComesFromTheCodeNotTheLine()
{
    RecordReader reader;
    QVERIFY(reader.read(StationA));
    const QString page = QString::fromUtf8(ReportPage::html(reader.summary(), {{StationA}, 7, 0, {}}));
    const QString advice = FlashOutcome::ofCode(QStringLiteral("line_lost"), 512, 1000).fullText();
    QVERIFY(advice.contains(QStringLiteral("512")));
    QVERIFY(page.contains(advice.toHtmlEscaped()));
    QVERIFY(!page.contains(QStringLiteral("Nachricht in der Sprache des Schreibers")));
    QVERIFY(page.contains(QStringLiteral("new Chart(")));
    QVERIFY(page.size() < 300 * 1024);
}

// A file or port name may hold anything; in the page it stays a value and
// neither ends the data's script element nor hides what follows it.
void RecordReportTest::valuesFromTheRecordStayData()
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("record.jsonl"));
    QFile record(path);
    QVERIFY(record.open(QIODevice::WriteOnly));
    record.write(R"({"time":"2026-12-01T10:00:00Z","result":"written","file":"a<!--<script>b.hex",)"
                 R"("file_sha256":"abcd","port":"</script><b>x","seconds":3,"blocks":4,"block":4})"
                 "\n");
    record.close();
    RecordReader reader;
    QVERIFY(reader.read(path));
    const QString page = QString::fromUtf8(ReportPage::html(reader.summary(), {{path}, 1, 0, {}}));
    QVERIFY(!page.contains(QStringLiteral("<!--<script>")));
    QVERIFY(!page.contains(QStringLiteral("</script><b>")));
    QCOMPARE(page.count(QStringLiteral("</script>")), page.count(QStringLiteral("<script")));
}

void RecordReportTest::statusesOfARun()
{
    QTemporaryDir folder;
    const QString page = folder.filePath(QStringLiteral("report.html"));
    FlashReport::Result result = FlashReport::run({{Broken}, page, {}});
    QCOMPARE(result.status, FlashReport::Status::Written);
    QCOMPARE(result.warnings, QStringList {QStringLiteral("5 Zeilen uebersprungen")});
    QVERIFY(QFile::exists(page));

    result = FlashReport::run({{folder.filePath(QStringLiteral("missing.jsonl"))}, page, {}});
    QCOMPARE(result.status, FlashReport::Status::NoRecord);
    QCOMPARE(result.warnings.size(), 1);

    QFile noLine(folder.filePath(QStringLiteral("garbled.jsonl")));
    QVERIFY(noLine.open(QIODevice::WriteOnly));
    noLine.write("kein JSON\n{\"time\":\n");
    noLine.close();
    result = FlashReport::run({{noLine.fileName()}, page, {}});
    QCOMPARE(result.status, FlashReport::Status::NoRecord);

    result = FlashReport::run({{StationA}, folder.filePath(QStringLiteral("no/such/folder/r.html")), {}});
    QCOMPARE(result.status, FlashReport::Status::PageUnwritable);
    QVERIFY(result.error.contains(QStringLiteral("r.html")));
}

QTEST_GUILESS_MAIN(RecordReportTest)
#include "tst_recordreport.moc"
