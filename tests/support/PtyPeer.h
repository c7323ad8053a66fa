#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>

// The far end of a pseudo-terminal, for tests that need to see the exact
// bytes a port sends and to feed it bytes of their own.
class PtyPeer
{
public:
    PtyPeer();
    ~PtyPeer();
    PtyPeer(const PtyPeer &) = delete;
    PtyPeer &operator=(const PtyPeer &) = delete;

    bool isValid() const { return master >= 0; }
    QString devicePath() const { return slavePath; }
    bool send(const QByteArray &bytes);
    // The line's whole set-up (speed, modes) as the port's side has it.
    QByteArray lineSettings() const;
    // Waits until the port's side has at least count unread bytes queued.
    bool waitUntilQueued(int count, std::chrono::milliseconds timeout);
    // Collects what arrives until count bytes are in or the time is up,
    // running the caller's event loop meanwhile.
    QByteArray receive(int count, std::chrono::milliseconds timeout);

private:
    void closeAll();

    int master = -1;
    int keepAlive = -1;
    QString slavePath;
};
