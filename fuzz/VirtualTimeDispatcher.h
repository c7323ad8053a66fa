#pragma once

#include <QAbstractEventDispatcher>

#include <chrono>
#include <vector>

// An event dispatcher whose clock moves only when told to. Timers fire at
// their exact virtual due time, so a fuzz input can play seconds of silence
// on the line in microseconds, and the same input always plays the same.
// Install it with QCoreApplication::setEventDispatcher() before the
// application object exists.
class VirtualTimeDispatcher : public QAbstractEventDispatcher
{
    Q_OBJECT

public:
    explicit VirtualTimeDispatcher(QObject *parent = nullptr);

    std::chrono::milliseconds now() const { return clock; }
    // Moves the clock on by span, firing every timer that falls due on the
    // way, in order, and delivering posted events after each.
    void advance(std::chrono::milliseconds span);

    bool processEvents(QEventLoop::ProcessEventsFlags flags) override;
    void registerSocketNotifier(QSocketNotifier *notifier) override;
    void unregisterSocketNotifier(QSocketNotifier *notifier) override;
    void registerTimer(int timerId, qint64 interval, Qt::TimerType timerType, QObject *object) override;
    bool unregisterTimer(int timerId) override;
    bool unregisterTimers(QObject *object) override;
    QList<TimerInfo> registeredTimers(QObject *object) const override;
    int remainingTime(int timerId) override;
    void wakeUp() override;
    void interrupt() override;

private:
    struct Timer
    {
        int id;
        std::chrono::milliseconds interval;
        Qt::TimerType type;
        QObject *object;
        std::chrono::milliseconds due;
    };

    bool fireDueTimers();
    std::chrono::milliseconds nextDue() const;

    std::chrono::milliseconds clock{0};
    std::vector<Timer> timers;
};
