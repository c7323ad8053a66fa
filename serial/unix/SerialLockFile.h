#pragma once

#include <QCoreApplication>
#include <QString>

// The lock file QSerialPort keeps for a port name ("LCK..ttyUSB0" in the
// first usable lock folder). In a folder every user may write, another
// user can put anything there: QSerialPort would then block for ever on a
// FIFO, or read a device a link leads to.
class SerialLockFile
{
    Q_DECLARE_TR_FUNCTIONS(SerialLockFile)

public:
    explicit SerialLockFile(const QString &devicePath);

    QString path() const { return lockPath; }
    // Empty when QSerialPort may go ahead: no such file, or a regular one
    // it can read. Else what stands in the way, in the user's language.
    QString obstacle() const;
    // The live process its PID names, as LockHolder words it; empty if none.
    QString holder() const;

private:
    static QString problemWith(const QString &path);

    QString lockPath;
};
