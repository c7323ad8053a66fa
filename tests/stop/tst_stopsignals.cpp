#include "stop/StopPolicy.h"
#include "stop/StopSignals.h"

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
    void policyLetsAWriteEndUnlessAskedTwice_data();
    void policyLetsAWriteEndUnlessAskedTwice();
};

Q_DECLARE_METATYPE(StopPolicy::Action)

void StopSignalsTest::policyLetsAWriteEndUnlessAskedTwice_data()
{
    using A = StopPolicy::Action;
    QTest::addColumn<QList<int>>("signalNumbers");
    QTest::addColumn<QList<A>>("actions");
    QTest::newRow("idle") << QList<int> {SIGTERM} << QList<A> {A::EndNow};
    QTest::newRow("twice") << QList<int> {SIGINT, SIGTERM} << QList<A> {A::KeepWriting, A::InterruptWrites};
    QTest::newRow("hang-ups never stop a write") << QList<int> {SIGHUP, SIGHUP, SIGINT}
                                                 << QList<A> {A::EndAfterWrites, A::EndAfterWrites, A::KeepWriting};
    // Windows ends the program seconds after its console began to close.
    QTest::newRow("console closing") << QList<int> {StopSignals::Closing} << QList<A> {A::InterruptWrites};
}

// While writing: the window and the flasher act on these alike.
void StopSignalsTest::policyLetsAWriteEndUnlessAskedTwice()
{
    QFETCH(QList<int>, signalNumbers);
    QFETCH(QList<StopPolicy::Action>, actions);
    StopPolicy policy;
    const bool writing = actions.first() != StopPolicy::Action::EndNow;
    for (qsizetype i = 0; i < signalNumbers.size(); ++i)
        QCOMPARE(policy.onSignal(signalNumbers[i], writing), actions[i]);
    QVERIFY(policy.stopAsked());
}

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
