#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QString>

#include <chrono>

class Console;

// Shows one flash write's progress: on a terminal a line redrawn in place
// (the seconds waited while the instrument erases, then block, bar, rate
// and time left, shortened to the terminal's width, never cut), elsewhere
// a plain line at every tenth of the blocks.
class ProgressPrinter
{
    Q_DECLARE_TR_FUNCTIONS(ProgressPrinter)

public:
    static constexpr int PlainSteps = 10;
    static constexpr int BarWidth = 30;

    explicit ProgressPrinter(Console &console);

    void begin(int blockTotal);
    void waiting(int secondsWaited);
    // The blocks the instrument has released so far.
    void update(int blocksSent);
    // After a written image: the full bar stays, and the total time.
    void end(int blocksSent);
    void totalTime(double seconds);

    // One progress line fitting width columns; for the flasher's other views too.
    static QString line(int blocksSent, int total, qint64 elapsedMs, int width, int barWidth = BarWidth);
    static QString waitingText(int secondsWaited);

private:
    Console &console;
    int total = 0;
    int plainStep = 0;
    QElapsedTimer sinceFirstReply;
    QElapsedTimer sinceRedraw;
};
