#pragma once

#include <QString>
#include <QStringList>

#include <cstdio>

// Where the flasher's texts go. On a terminal one status line can be
// redrawn in place; anywhere else only whole lines are written, so a log
// file never sees a carriage return. Control characters from file names
// or device replies are shown as '?'.
class Console
{
public:
    explicit Console(FILE *out = stdout, FILE *err = stderr);

    bool isTerminal() const { return terminal; }
    // Under --json stdout is for raw() lines only; the rest goes to stderr.
    void reserveOutputForRaw();
    void line(const QString &text);
    // A line as it is (JSON), control characters and all escaped by its writer.
    void raw(const QString &text);
    void error(const QString &text);
    // Replaces the status line; ignored when the output is no terminal.
    void status(const QString &text);
    // Ends the status line as it stands, so it stays on the screen.
    void keepStatus();
    void clearStatus();
    // Several status lines, one per instrument, redrawn in place.
    void board(const QStringList &lines);
    int width() const { return terminalWidth(); }

private:
    void write(FILE *stream, const QString &text);
    // The system's: a stream that is a terminal, and its columns.
    static bool isTerminal(FILE *stream);
    int terminalWidth() const;

    FILE *out;
    FILE *err;
    FILE *peopleOut;
    bool terminal;
    int statusLength = 0;
    int boardLines = 0;
};
