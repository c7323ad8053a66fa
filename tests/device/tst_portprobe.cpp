#include "SimInstrument.h"

#include "device/PortProbe.h"

#include <QSignalSpy>
#include <QTest>

Q_DECLARE_METATYPE(PortProbe::Result)

// The way to ask a port, against the simulated instrument: one judgement,
// bounded when no reply comes, and only a found instrument's port left open.
class PortProbeTest : public QObject
{
    Q_OBJECT

private slots:
    void answerIsJudgedInBoundedTime_data();
    void answerIsJudgedInBoundedTime();
};

void PortProbeTest::answerIsJudgedInBoundedTime_data()
{
    QTest::addColumn<QStringList>("simArguments");
    QTest::addColumn<PortProbe::Result>("result");
    QTest::addColumn<int>("version");
    QTest::newRow("found") << QStringList {"--reply-hex", "5A574B423132330D"} << PortProbe::Result::Found << 123;
    QTest::newRow("other tag") << QStringList {"--reply-hex", "5A576B623132330D"} << PortProbe::Result::Refused << 123;
    QTest::newRow("silent") << QStringList {"--no-answer"} << PortProbe::Result::NoReply << 0;
    QTest::newRow("no such port") << QStringList() << PortProbe::Result::Unavailable << 0;
}

void PortProbeTest::answerIsJudgedInBoundedTime()
{
    QFETCH(QStringList, simArguments);
    QFETCH(PortProbe::Result, result);
    QFETCH(int, version);
    SimInstrument sim(simArguments);
    QString port = QStringLiteral("/dev/zirbelwerk-missing");
    if (result != PortProbe::Result::Unavailable) {
        QVERIFY(sim.start());
        port = sim.devicePath();
    }
    PortProbe probe(port);
    QSignalSpy finished(&probe, &PortProbe::finished);
    probe.start();
    // Bounded: silence ends at the reply wait, not never.
    QVERIFY(finished.wait(5000));
    QCOMPARE(finished.size(), 1);
    QCOMPARE(probe.result(), result);
    QCOMPARE(probe.firmwareVersion(), version);
    QCOMPARE(probe.modem().device() != nullptr, result == PortProbe::Result::Found);
}

QTEST_GUILESS_MAIN(PortProbeTest)
#include "tst_portprobe.moc"
