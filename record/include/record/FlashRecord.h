#pragma once

#include <QByteArrayList>
#include <QDeadlineTimer>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <memory>

class RecordFile;

// The record of every write attempt, window and flasher alike: one JSON
// object per line, appended to one file. Earlier lines are never touched,
// and lines of several processes never interleave. Appending never blocks
// the event loop: a lock another process holds is waited for on timer
// ticks, LockWait at most, and a file that is not a regular one is refused.
class FlashRecord : public QObject
{
    Q_OBJECT

public:
    static constexpr const char *ProgramWindow = "zirbelwerk";
    static constexpr const char *ProgramFlasher = "zirbelwerk-flash";
    static constexpr const char *ProgramStation = "zirbelwerk-station";
    static constexpr std::chrono::milliseconds LockWait {2000};
    // What a line's last write is known by.
    static constexpr const char *DeviceKey = "device";
    static constexpr const char *ResultKey = "result";
    static constexpr const char *ResultWritten = "written";

    // $XDG_DATA_HOME/zirbelwerk/flash-record.jsonl on Linux.
    static QString defaultPath();

    explicit FlashRecord(QString path = defaultPath(), QObject *parent = nullptr);
    ~FlashRecord() override;

    // Queues the line; appended() follows for it, also when it fails. Lines
    // queued while an earlier one waits for the lock share its wait and go
    // in with it. Creates the folder when needed.
    void append(const QJsonObject &entry);
    bool isAppending() const { return !queue.isEmpty(); }
    // When the program must end now: each line still queued gets one last
    // try without waiting for the lock; appended() follows for each. The
    // destructor does the same, without a word.
    void abandon();
    void setLockWait(std::chrono::milliseconds wait) { lockWait = wait; }

    // Of the last line that failed: in the user's language, with the path
    // and the reason.
    QString errorString() const { return error; }
    QString path() const { return filePath; }

    // Whether the last write the record knows for this device ended other
    // than written. Reads only the record's end: a device's latest line is
    // among the last few thousand, and the record grows for years. Lines
    // that do not parse are passed over.
    bool lastWriteUnfinished(const QString &device) const;

signals:
    void appended(bool written);

private:
    void startNext();
    void tryLock();
    void lastTry();
    void finish(const QString &reason);

    QString filePath;
    QString error;
    QByteArrayList queue;
    std::unique_ptr<RecordFile> file;
    QTimer retry;
    QDeadlineTimer lockDeadline;
    std::chrono::milliseconds lockWait = LockWait;
};
