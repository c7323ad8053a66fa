#include "cli/Console.h"

namespace {

// Line breaks are kept where a text is meant to have several lines.
QString printable(QString text, bool keepLineBreaks = false)
{
    for (QChar &c : text) {
        const char16_t code = c.unicode();
        if (keepLineBreaks && code == '\n')
            continue;
        if (code < 0x20 || (code >= 0x7F && code < 0xA0))
            c = QLatin1Char('?');
    }
    return text;
}

} // namespace

Console::Console(FILE *out, FILE *err)
    : out(out), err(err), peopleOut(out), terminal(isTerminal(out))
{
}

void Console::reserveOutputForRaw()
{
    peopleOut = err;
    terminal = false;
}

void Console::line(const QString &text)
{
    clearStatus();
    boardLines = 0; // the board starts again below this line
    write(peopleOut, printable(text, true) + QLatin1Char('\n'));
}

void Console::raw(const QString &text)
{
    write(out, text + QLatin1Char('\n'));
}

void Console::error(const QString &text)
{
    clearStatus();
    write(err, printable(text) + QLatin1Char('\n'));
}

void Console::status(const QString &text)
{
    if (!terminal)
        return;
    // A line that wraps could no longer be overwritten with '\r'.
    const QString shown = printable(text).left(terminalWidth() - 1);
    const int padding = qMax(0, statusLength - int(shown.size()));
    write(out, QLatin1Char('\r') + shown + QString(padding, QLatin1Char(' ')));
    statusLength = int(shown.size());
}

void Console::keepStatus()
{
    if (statusLength > 0)
        write(out, QStringLiteral("\n"));
    statusLength = 0;
}

void Console::board(const QStringList &lines)
{
    if (!terminal)
        return;
    clearStatus();
    QString text;
    // Back to the board's first line, then each line anew.
    if (boardLines > 0)
        text += QStringLiteral("\x1b[%1A").arg(boardLines);
    for (const QString &shown : lines)
        text += QStringLiteral("\r\x1b[2K") + printable(shown).left(terminalWidth() - 1) + QLatin1Char('\n');
    write(out, text);
    boardLines = int(lines.size());
}

void Console::clearStatus()
{
    if (statusLength == 0)
        return;
    write(out, QLatin1Char('\r') + QString(statusLength, QLatin1Char(' ')) + QLatin1Char('\r'));
    statusLength = 0;
}

void Console::write(FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}
