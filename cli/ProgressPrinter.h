#pragma once

#include <QElapsedTimer>
#include <QString>

#include <chrono>

class Console;

// Shows the flash write's progress: on a terminal a bar redrawn in place,
// elsewhere a plain line at every tenth of the blocks. Speed and time left
// are measured from the first reply, so the erase does not count.
class ProgressPrinter
{
public:
    static constexpr std::chrono::milliseconds RedrawInterval{100};
    static constexpr int PlainSteps = 10;
    static constexpr int BarWidth = 30;

    explicit ProgressPrinter(Console &console);

    void begin(int blockTotal);
    // The blocks the instrument has released so far.
    void update(int blocksSent);
    void end(int blocksSent);

private:
    QString blockText(int blocksSent) const;
    QString bar(int blocksSent) const;
    QString rateText(int blocksSent) const;

    Console &console;
    int total = 0;
    int plainStep = 0;
    QElapsedTimer sinceFirstReply;
    QElapsedTimer sinceRedraw;
};
