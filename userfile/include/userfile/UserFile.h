#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QString>
#include <QtGlobal>

#include <chrono>

// A file the user named (a HEX file, a record): opened without blocking,
// whatever stands at the path. A device is never opened (that could change
// a serial line), a FIFO is read with a bound on its silence, and a signal
// ends the wait.
class UserFile
{
    Q_DECLARE_TR_FUNCTIONS(UserFile)

public:
    // A pipe that brings no byte for this long is given up.
    static constexpr std::chrono::seconds PipeSilence {5};

    enum class Status { Read, Missing, Folder, NotAFile, Silent, Interrupted, Unopened, Failed };
    struct Content
    {
        Status status = Status::Failed;
        QByteArray bytes;
        QString reason; // the system's words, for Unopened and Failed
    };
    // At most limit bytes and one more, so that the caller can tell a file
    // that is too large.
    static Content read(const QString &path, qint64 limit,
                        std::chrono::milliseconds silence = PipeSilence);

    // A file opened to append to, created if missing: a descriptor (a
    // HANDLE on Windows), -1 with error set when refused. In a folder every
    // user may write to and only owners may delete from (/tmp), a symbolic
    // link is followed only when it is the user's own or the folder
    // owner's, and no file is created through a link. Only regular files
    // are opened: never a FIFO or a device.
    struct Appendable
    {
        qintptr handle = -1;
        bool readable = false;
        QString error; // in the user's language
    };
    static Appendable openForAppend(const QString &path);
    // Why a new file must not take path's place (a device, FIFO or folder
    // there, or another user's link in a shared folder), in the user's
    // language; empty if it may.
    static QString refusalToReplace(const QString &path);
    // Puts a whole new file with these bytes at path, never half of it:
    // empty, or why not. In a shared folder the name itself is replaced,
    // so that no link put there meanwhile is followed.
    static QString replaceWith(const QString &path, const QByteArray &bytes);

    // The first argument that does not survive the way to a QString and
    // back to the system's bytes (a path that is not UTF-8), shown with its
    // odd bytes escaped; empty if all do.
    static QString undecodableArgument(int argc, const char *const *argv);
    // Why such an argument is refused, in the user's language.
    static QString undecodableText(const QString &shown);
    // In a folder anyone may write to and only owners delete from (/tmp).
    static bool inSharedFolder(const QString &path);
};
