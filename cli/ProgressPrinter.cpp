#include "cli/ProgressPrinter.h"

#include "cli/Console.h"
#include "device/DialogueText.h"
#include "device/FlashWriter.h"
#include "device/WriteSession.h"

namespace {

constexpr int SmallestBar = 10;

QString bar(int blocksSent, int total, int width)
{
    const int filled = int(qBound(qint64(0), qint64(blocksSent) * width / qMax(total, 1), qint64(width)));
    return QLatin1Char('[') + QString(filled, QLatin1Char('#')) + QString(width - filled, QLatin1Char('-'))
        + QLatin1Char(']');
}

QString rateText(int blocksSent, int total, qint64 elapsedMs)
{
    if (blocksSent <= 0 || elapsedMs <= 0)
        return QString();
    const qint64 bytes = qint64(blocksSent) * FlashWriter::BlockSize;
    const qint64 bytesPerSecond = bytes * 1000 / elapsedMs;
    const qint64 secondsLeft = qMax(0, total - blocksSent) * elapsedMs / blocksSent / 1000;
    return ProgressPrinter::tr(", %1 Byte/s, noch %2:%3")
        .arg(bytesPerSecond)
        .arg(secondsLeft / 60)
        .arg(secondsLeft % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

ProgressPrinter::ProgressPrinter(Console &console)
    : console(console)
{
}

void ProgressPrinter::begin(int blockTotal)
{
    total = qMax(blockTotal, 1);
    plainStep = 0;
    sinceFirstReply.invalidate();
    sinceRedraw.invalidate();
}

QString ProgressPrinter::waitingText(int secondsWaited)
{
    return tr("Warte auf die HW (sie loescht ihren Flash): %1 s").arg(secondsWaited);
}

void ProgressPrinter::waiting(int secondsWaited)
{
    if (!sinceFirstReply.isValid())
        console.status(waitingText(secondsWaited));
}

// Rate and time left go first, then bar width, when the line is too wide.
QString ProgressPrinter::line(int blocksSent, int total, qint64 elapsedMs, int width, int barWidth)
{
    const QString blocks = DialogueText::blockProgress(blocksSent, total);
    const QString rate = rateText(blocksSent, total, elapsedMs);
    QString text = blocks + QLatin1Char(' ') + bar(blocksSent, total, barWidth) + rate;
    if (text.size() < width)
        return text;
    const int room = width - 1 - int(blocks.size()) - 3;
    if (room < SmallestBar)
        return blocks;
    return blocks + QLatin1Char(' ') + bar(blocksSent, total, qMin(barWidth, room));
}

void ProgressPrinter::update(int blocksSent)
{
    if (!sinceFirstReply.isValid())
        sinceFirstReply.start();
    if (console.isTerminal()) {
        if (sinceRedraw.isValid() && !sinceRedraw.hasExpired(WriteSession::ProgressInterval.count()))
            return;
        sinceRedraw.start();
        console.status(line(blocksSent, total, sinceFirstReply.elapsed(), console.width()));
        return;
    }
    // The last tenth is reported by end().
    const int step = int(qint64(blocksSent) * PlainSteps / total);
    if (step <= plainStep || step >= PlainSteps)
        return;
    plainStep = step;
    console.line(DialogueText::blockProgress(blocksSent, total)
                 + rateText(blocksSent, total, sinceFirstReply.elapsed()));
}

void ProgressPrinter::end(int blocksSent)
{
    if (console.isTerminal()) {
        const qint64 elapsed = sinceFirstReply.isValid() ? sinceFirstReply.elapsed() : 0;
        console.status(line(blocksSent, total, elapsed, console.width()));
        console.keepStatus();
        return;
    }
    console.line(DialogueText::blockProgress(blocksSent, total));
}

void ProgressPrinter::totalTime(double seconds)
{
    console.line(tr("Gesamtzeit: %1 s").arg(seconds, 0, 'f', 1));
}
