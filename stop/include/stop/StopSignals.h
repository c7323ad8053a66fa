#pragma once

#include <QObject>

#include <memory>

// Turns SIGINT, SIGTERM and SIGHUP into a Qt signal on the event loop
// (self-pipe; the handler only writes one byte). SIGPIPE is ignored while
// it lives. Of several at once, the newest one receives. On Windows a
// console's Ctrl-C and Ctrl-Break arrive as SIGINT, and the closing of the
// console as Closing.
class StopSignals : public QObject
{
    Q_OBJECT

public:
    // The terminal went away (SIGHUP); Windows has no such signal.
    static const int HangUp;
    // Windows: the console window is being closed. Windows ends the program
    // some 5 s later, or once closeHandled() says what had to be done is
    // done (a running write stopped, its record line in).
    static const int Closing;
    static void closeHandled();

    explicit StopSignals(QObject *parent = nullptr);
    ~StopSignals() override; // default dispositions back

signals:
    void received(int signalNumber);

private:
    // What the system needs of this instance and the one before it.
    struct Hook;
    std::unique_ptr<Hook> hook;
};
