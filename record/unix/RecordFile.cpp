#include "record/RecordFile.h"

#include <cerrno>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

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

QString RecordFile::userName()
{
    if (const passwd *entry = ::getpwuid(::geteuid()))
        return QString::fromLocal8Bit(entry->pw_name);
    return qEnvironmentVariable("USER");
}
