#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGINT, SIGTERM and SIGHUP into a Qt signal on the event loop
// (self-pipe; the handler only writes one byte), so that a front end can
// decide what a stop means while the instrument is being written. SIGPIPE
// is ignored while it lives: a vanished reader must not end a write.
class StopSignals : public QObject
{
    Q_OBJECT

public:
    explicit StopSignals(QObject *parent = nullptr);
    ~StopSignals() override;

signals:
    void received(int signalNumber);

private:
    void readPending();

    QSocketNotifier *notifier = nullptr;
};
