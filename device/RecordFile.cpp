#include "device/RecordFile.h"

#include "userfile/UserFile.h"

#include <QDir>
#include <QFile>

#if defined(Q_OS_WIN)
#include <windows.h>
#elif defined(Q_OS_UNIX)
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

RecordFile::~RecordFile()
{
    close();
}

// Never blocks, never follows another user's link in a shared folder.
QString RecordFile::open(const QString &path)
{
    close();
    error.clear();
    const UserFile::Appendable file = UserFile::openForAppend(path);
    if (file.handle == -1)
        return error = file.error;
    descriptor = file.handle;
    readable = file.readable;
    return {};
}

QString RecordFile::fail(int systemError)
{
    error = qt_error_string(systemError);
    close();
    return error;
}

#ifdef Q_OS_UNIX

namespace {

// Takes back a line cut short (a full disk), so that the next one starts on
// a line of its own. Returns errno, 0 when the line is in.
int writeLine(int fd, const QByteArray &line)
{
    struct stat before {};
    if (::fstat(fd, &before) != 0)
        return errno;
    ssize_t written = -1;
    do {
        written = ::write(fd, line.constData(), size_t(line.size()));
    } while (written < 0 && errno == EINTR);
    if (written == line.size())
        return 0;
    const int reason = written < 0 ? errno : ENOSPC;
    if (written > 0 && ::ftruncate(fd, before.st_size) != 0)
        return errno;
    return reason;
}

} // namespace

RecordFile::Lock RecordFile::tryLock()
{
    if (::flock(int(descriptor), LOCK_EX | LOCK_NB) == 0)
        return Lock::Taken;
    if (errno == EWOULDBLOCK || errno == EINTR)
        return Lock::Held;
    fail(errno);
    return Lock::Failed;
}

QString RecordFile::append(QByteArray line)
{
    const int fd = int(descriptor);
    struct stat status {};
    char last = '\n';
    if (readable && ::fstat(fd, &status) == 0 && status.st_size > 0
        && ::pread(fd, &last, 1, status.st_size - 1) == 1 && last != '\n')
        line.prepend('\n');
    if (const int reason = writeLine(fd, line))
        return fail(reason);
    descriptor = -1;
    // Some file systems (NFS) say only now that the line did not get in.
    if (::close(fd) != 0)
        return error = qt_error_string(errno);
    return {};
}

void RecordFile::close()
{
    if (descriptor >= 0)
        ::close(int(descriptor));
    descriptor = -1;
}

#endif

#ifdef Q_OS_WIN

namespace {

HANDLE handleOf(qintptr descriptor)
{
    return reinterpret_cast<HANDLE>(descriptor);
}

// Windows locks are mandatory: a byte far beyond any record stands for the
// whole file, so that readers are never turned away.
OVERLAPPED lockedByte()
{
    OVERLAPPED at {};
    at.Offset = 0xFFFFFFFE;
    at.OffsetHigh = 0x7FFFFFFF;
    return at;
}

} // namespace

RecordFile::Lock RecordFile::tryLock()
{
    OVERLAPPED at = lockedByte();
    if (::LockFileEx(handleOf(descriptor), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at))
        return Lock::Taken;
    const DWORD reason = ::GetLastError();
    if (reason == ERROR_LOCK_VIOLATION || reason == ERROR_IO_PENDING)
        return Lock::Held;
    fail(int(reason));
    return Lock::Failed;
}

QString RecordFile::append(QByteArray line)
{
    const HANDLE handle = handleOf(descriptor);
    LARGE_INTEGER size {};
    char last = '\n';
    DWORD count = 0;
    if (!::GetFileSizeEx(handle, &size))
        return fail(int(::GetLastError()));
    if (size.QuadPart > 0) {
        LARGE_INTEGER at {};
        at.QuadPart = size.QuadPart - 1;
        if (::SetFilePointerEx(handle, at, nullptr, FILE_BEGIN) && ::ReadFile(handle, &last, 1, &count, nullptr)
            && count == 1 && last != '\n')
            line.prepend('\n');
    }
    // Under the lock the end stays where it is until this line is in.
    if (!::SetFilePointerEx(handle, size, nullptr, FILE_BEGIN))
        return fail(int(::GetLastError()));
    DWORD written = 0;
    if (!::WriteFile(handle, line.constData(), DWORD(line.size()), &written, nullptr) || written != DWORD(line.size())) {
        const DWORD reason = written == 0 ? ::GetLastError() : DWORD(ERROR_DISK_FULL);
        ::SetFilePointerEx(handle, size, nullptr, FILE_BEGIN);
        ::SetEndOfFile(handle);
        return fail(int(reason));
    }
    close();
    return {};
}

void RecordFile::close()
{
    if (descriptor != -1)
        ::CloseHandle(handleOf(descriptor)); // drops the lock too
    descriptor = -1;
}

#endif
