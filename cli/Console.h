#pragma once

#include <QString>

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
    void line(const QString &text);
    void error(const QString &text);
    // Replaces the status line; ignored when the output is no terminal.
    void status(const QString &text);
    void clearStatus();

private:
    void write(FILE *stream, const QString &text);
    int terminalWidth() const;

    FILE *out;
    FILE *err;
    bool terminal;
    int statusLength = 0;
};
