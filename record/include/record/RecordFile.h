#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QString>

// The flash record's file, opened for appending one line. No call blocks:
// a file that is not a regular one (a FIFO, a device) is refused before it
// is opened, another user's link in a shared folder is not followed, and
// the lock is only tried, never waited for.
class RecordFile
{
    Q_DECLARE_TR_FUNCTIONS(RecordFile)

public:
    enum class Lock { Taken, Held, Failed };

    RecordFile() = default;
    ~RecordFile();
    RecordFile(const RecordFile &) = delete;
    RecordFile &operator=(const RecordFile &) = delete;

    // Empty when open, else why not, in the user's language.
    QString open(const QString &path);
    Lock tryLock();
    // Starts the line on a line of its own, should the last one have been
    // cut off (a power cut); a line cut short now is taken back. Closes the
    // file, which drops the lock. Empty when the whole line is in, else why
    // not.
    QString append(QByteArray line);
    void close();

    QString lastError() const { return error; }

    // Who the program runs as, for the record's lines.
    static QString userName();

private:
    QString fail(int systemError);

    // A file descriptor, or on Windows a HANDLE; -1 when closed.
    qintptr descriptor = -1;
    bool readable = false;
    QString error;
};
