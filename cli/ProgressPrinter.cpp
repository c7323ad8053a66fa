#include "cli/ProgressPrinter.h"

#include "cli/Console.h"
#include "device/DialogueText.h"
#include "device/FlashWriter.h"

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

void ProgressPrinter::update(int blocksSent)
{
    if (!sinceFirstReply.isValid())
        sinceFirstReply.start();
    if (console.isTerminal()) {
        if (sinceRedraw.isValid() && !sinceRedraw.hasExpired(RedrawInterval.count()))
            return;
        sinceRedraw.start();
        console.status(blockText(blocksSent) + QLatin1Char(' ') + bar(blocksSent) + rateText(blocksSent));
        return;
    }
    // The last tenth is reported by end().
    const int step = int(qint64(blocksSent) * PlainSteps / total);
    if (step <= plainStep || step >= PlainSteps)
        return;
    plainStep = step;
    console.line(blockText(blocksSent) + rateText(blocksSent));
}

void ProgressPrinter::end(int blocksSent)
{
    console.line(blockText(blocksSent));
}

QString ProgressPrinter::blockText(int blocksSent) const
{
    return DialogueText::blockProgress(blocksSent, total);
}

QString ProgressPrinter::bar(int blocksSent) const
{
    const int filled = int(qBound(qint64(0), qint64(blocksSent) * BarWidth / total, qint64(BarWidth)));
    return QLatin1Char('[') + QString(filled, QLatin1Char('#')) + QString(BarWidth - filled, QLatin1Char('-'))
        + QLatin1Char(']');
}

QString ProgressPrinter::rateText(int blocksSent) const
{
    const qint64 elapsedMs = sinceFirstReply.elapsed();
    if (blocksSent <= 0 || elapsedMs <= 0)
        return QString();
    const qint64 bytes = qint64(blocksSent) * FlashWriter::BlockSize;
    const qint64 bytesPerSecond = bytes * 1000 / elapsedMs;
    const qint64 secondsLeft = qMax(0, total - blocksSent) * elapsedMs / blocksSent / 1000;
    return QString::asprintf(", %lld Byte/s, noch %lld:%02lld", static_cast<long long>(bytesPerSecond),
                             static_cast<long long>(secondsLeft / 60), static_cast<long long>(secondsLeft % 60));
}
