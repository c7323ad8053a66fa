#include "device/RecordFile.h"

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

QString RecordFile::fail(int systemError)
{
    error = qt_error_string(systemError);
    close();
    return error;
}

#ifdef Q_OS_UNIX

namespace {

bool isRegular(int fd)
{
    struct stat status {};
    return ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
}

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

QString RecordFile::open(const QString &path)
{
    close();
    error.clear();
    const QByteArray name = QFile::encodeName(path);
    // Opening a FIFO or a serial device could block or change its line.
    struct stat status {};
    if (::stat(name.constData(), &status) == 0 && !S_ISREG(status.st_mode))
        return error = tr("keine gewoehnliche Datei");
    constexpr int Flags = O_APPEND | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    int fd = ::open(name.constData(), O_RDWR | Flags, 0644);
    readable = fd >= 0;
    if (fd < 0 && errno == EACCES)
        fd = ::open(name.constData(), O_WRONLY | Flags, 0644);
    if (fd < 0)
        return fail(errno);
    descriptor = fd;
    if (!isRegular(fd)) {
        close();
        return error = tr("keine gewoehnliche Datei");
    }
    return {};
}

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

QString RecordFile::open(const QString &path)
{
    close();
    error.clear();
    const std::wstring name = QDir::toNativeSeparators(path).toStdWString();
    const DWORD attributes = ::GetFileAttributesW(name.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)))
        return error = tr("keine gewoehnliche Datei");
    const HANDLE handle = ::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                       OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return fail(int(::GetLastError()));
    descriptor = reinterpret_cast<qintptr>(handle);
    readable = true;
    if (::GetFileType(handle) != FILE_TYPE_DISK) {
        close();
        return error = tr("keine gewoehnliche Datei");
    }
    return {};
}

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
