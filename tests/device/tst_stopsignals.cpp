#include "device/StopSignals.h"

#include <QSignalSpy>
#include <QTest>

#include <csignal>

namespace {

void (*disposition(int signalNumber))(int)
{
    struct sigaction action {};
    sigaction(signalNumber, nullptr, &action);
    return action.sa_handler;
}

} // namespace

class StopSignalsTest : public QObject
{
    Q_OBJECT

private slots:
    void signalsArriveOnTheEventLoop();
};

void StopSignalsTest::signalsArriveOnTheEventLoop()
{
    {
        StopSignals stop;
        QSignalSpy spy(&stop, &StopSignals::received);
        for (int number : {SIGTERM, SIGINT, SIGHUP})
            QVERIFY(::raise(number) == 0);
        QVERIFY(spy.isEmpty()); // not from inside the handler
        QTRY_COMPARE(spy.size(), 3);
        QCOMPARE(spy.at(0).at(0).toInt(), SIGTERM);
        QCOMPARE(spy.at(2).at(0).toInt(), SIGHUP);
        QVERIFY(disposition(SIGPIPE) == SIG_IGN);
    }
    for (int number : {SIGTERM, SIGINT, SIGHUP, SIGPIPE})
        QVERIFY(disposition(number) == SIG_DFL);
}

QTEST_GUILESS_MAIN(StopSignalsTest)
#include "tst_stopsignals.moc"
