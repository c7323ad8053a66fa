#include "VirtualTimeDispatcher.h"

#include <QCoreApplication>
#include <QTimerEvent>

#include <algorithm>

VirtualTimeDispatcher::VirtualTimeDispatcher(QObject *parent)
    : QAbstractEventDispatcher(parent)
{
}

void VirtualTimeDispatcher::advance(std::chrono::milliseconds span)
{
    const auto target = clock + span;
    processEvents(QEventLoop::AllEvents);
    for (auto due = nextDue(); due <= target; due = nextDue()) {
        clock = std::max(clock, due);
        processEvents(QEventLoop::AllEvents);
    }
    clock = target;
    processEvents(QEventLoop::AllEvents);
}

std::chrono::milliseconds VirtualTimeDispatcher::nextDue() const
{
    auto due = std::chrono::milliseconds::max();
    for (const Timer &timer : timers)
        due = std::min(due, timer.due);
    return due;
}

bool VirtualTimeDispatcher::processEvents(QEventLoop::ProcessEventsFlags)
{
    emit awake();
    QCoreApplication::sendPostedEvents();
    const bool fired = fireDueTimers();
    QCoreApplication::sendPostedEvents();
    return fired;
}

bool VirtualTimeDispatcher::fireDueTimers()
{
    // A timer event may start or kill timers: look each one up again.
    std::vector<int> due;
    for (const Timer &timer : timers) {
        if (timer.due <= clock)
            due.push_back(timer.id);
    }
    for (int id : due) {
        auto it = std::find_if(timers.begin(), timers.end(), [id](const Timer &t) { return t.id == id; });
        if (it == timers.end())
            continue;
        it->due = clock + std::max(it->interval, std::chrono::milliseconds(1));
        QObject *object = it->object;
        QTimerEvent event(id);
        QCoreApplication::sendEvent(object, &event);
    }
    return !due.empty();
}

void VirtualTimeDispatcher::registerSocketNotifier(QSocketNotifier *)
{
}

void VirtualTimeDispatcher::unregisterSocketNotifier(QSocketNotifier *)
{
}

void VirtualTimeDispatcher::registerTimer(int timerId, qint64 interval, Qt::TimerType timerType, QObject *object)
{
    const std::chrono::milliseconds span(interval);
    timers.push_back({timerId, span, timerType, object, clock + span});
}

bool VirtualTimeDispatcher::unregisterTimer(int timerId)
{
    const auto it = std::find_if(timers.begin(), timers.end(), [timerId](const Timer &t) { return t.id == timerId; });
    if (it == timers.end())
        return false;
    timers.erase(it);
    return true;
}

bool VirtualTimeDispatcher::unregisterTimers(QObject *object)
{
    const auto before = timers.size();
    timers.erase(std::remove_if(timers.begin(), timers.end(), [object](const Timer &t) { return t.object == object; }),
                 timers.end());
    return timers.size() != before;
}

QList<QAbstractEventDispatcher::TimerInfo> VirtualTimeDispatcher::registeredTimers(QObject *object) const
{
    QList<TimerInfo> infos;
    for (const Timer &timer : timers) {
        if (timer.object == object)
            infos.append(TimerInfo(timer.id, int(timer.interval.count()), timer.type));
    }
    return infos;
}

int VirtualTimeDispatcher::remainingTime(int timerId)
{
    for (const Timer &timer : timers) {
        if (timer.id == timerId)
            return int(std::max(timer.due - clock, std::chrono::milliseconds(0)).count());
    }
    return -1;
}

void VirtualTimeDispatcher::wakeUp()
{
}

void VirtualTimeDispatcher::interrupt()
{
}
