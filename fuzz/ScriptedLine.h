#pragma once

#include <QByteArray>
#include <QIODevice>

class FlashStreamCheck;

// A serial line played from a fuzz script: the script decides what arrives
// and when the host learns of it, whether written bytes leave at once, stay
// pending or are refused. Unbuffered, so every byte the host takes is seen.
class ScriptedLine : public QIODevice
{
    Q_OBJECT

public:
    explicit ScriptedLine(FlashStreamCheck *check, QObject *parent = nullptr);

    // The bytes arrive; the host hears of them at the next notify().
    void deliver(const QByteArray &bytes);
    // Emits readyRead for bytes delivered since the last notice.
    void notify();
    // Pending written bytes leave; bytesWritten follows.
    void flush();
    // While held, written bytes stay pending.
    void setHeld(bool held) { isHeld = held; }
    // Write call number n from now (1 = the next) takes only accepted
    // bytes and reports -1 when that is 0.
    void failWrite(int n, qint64 accepted);

    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override;
    qint64 bytesToWrite() const override;

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 maxSize) override;

private:
    FlashStreamCheck *check;
    QByteArray incoming;
    bool unnoticed = false;
    bool isHeld = false;
    qint64 pending = 0;
    int writesUntilFailure = 0;
    qint64 acceptedOnFailure = 0;
};
