#include "userfile/UserFile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int ReadFlags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
constexpr int AppendFlags = O_APPEND | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
constexpr qint64 Chunk = 64 * 1024;

using Status = UserFile::Status;

UserFile::Content failure(Status status, int reason = 0)
{
    return {status, {}, reason ? qt_error_string(reason) : QString()};
}

// Appends what one read brings: its count, 0 at the end, -1 on an error.
ssize_t readChunk(int fd, QByteArray &bytes)
{
    const qint64 had = bytes.size();
    bytes.resize(had + Chunk);
    ssize_t count = -1;
    do {
        count = ::read(fd, bytes.data() + had, size_t(Chunk));
    } while (count < 0 && errno == EINTR);
    bytes.resize(had + std::max<ssize_t>(count, 0));
    return count;
}

UserFile::Content readFile(int fd, qint64 limit)
{
    UserFile::Content content {Status::Read, {}, {}};
    while (content.bytes.size() <= limit) {
        const ssize_t count = readChunk(fd, content.bytes);
        if (count < 0)
            return failure(Status::Failed, errno);
        if (count == 0)
            break;
    }
    return content;
}

// The stop signals (the programs catch only those) come in only while the
// pipe is waited for: one that comes between two waits is not lost but
// ends the next wait at once.
class StopSignalsHeld
{
public:
    StopSignalsHeld()
    {
        sigset_t stops;
        sigemptyset(&stops);
        for (int number : {SIGINT, SIGTERM, SIGHUP})
            sigaddset(&stops, number);
        pthread_sigmask(SIG_BLOCK, &stops, &before);
    }
    ~StopSignalsHeld() { pthread_sigmask(SIG_SETMASK, &before, nullptr); }
    const sigset_t *whileWaiting() const { return &before; }

private:
    sigset_t before;
};

// A pipe is waited for, but only while it stays silent less than silence.
// A FIFO without a writer yet reads as ended, so the wait comes first.
UserFile::Content readPipe(int fd, qint64 limit, std::chrono::milliseconds silence)
{
    const StopSignalsHeld held;
    const timespec wait {time_t(silence.count() / 1000), long(silence.count() % 1000) * 1000000};
    UserFile::Content content {Status::Read, {}, {}};
    while (content.bytes.size() <= limit) {
        pollfd watched {fd, POLLIN, 0};
        const int ready = ::ppoll(&watched, 1, &wait, held.whileWaiting());
        if (ready < 0)
            return failure(errno == EINTR ? Status::Interrupted : Status::Failed, errno == EINTR ? 0 : errno);
        if (ready == 0)
            return failure(Status::Silent);
        const ssize_t count = readChunk(fd, content.bytes);
        if (count < 0 && errno != EAGAIN)
            return failure(Status::Failed, errno);
        if (count == 0)
            break;
    }
    return content;
}

int openForAppending(const QByteArray &name, int extra, bool *readable)
{
    int fd = ::open(name.constData(), O_RDWR | AppendFlags | extra, 0644);
    *readable = fd >= 0;
    if (fd < 0 && errno == EACCES)
        fd = ::open(name.constData(), O_WRONLY | AppendFlags | extra, 0644);
    return fd;
}

// Anyone may write there and only owners may delete (/tmp): another user's
// link may lead into the files of whoever follows it.
bool isSharedFolder(const struct stat &folder)
{
    return (folder.st_mode & S_ISVTX) && (folder.st_mode & S_IWOTH);
}

// The name itself, never through a link, made when missing. In a shared
// folder another user's file may not be opened with O_CREAT
// (protected_regular), so it is only asked for once it is known missing.
int openOwnName(const QByteArray &name, bool *readable)
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int fd = openForAppending(name, O_NOFOLLOW, readable);
        if (fd >= 0 || errno != ENOENT)
            return fd;
        const int made = openForAppending(name, O_NOFOLLOW | O_CREAT | O_EXCL, readable);
        if (made >= 0 || errno != EEXIST)
            return made;
    }
    return -1;
}

// Only a regular file; in a shared folder not one with a second name, which
// another user's hard link would give a file of the opener's.
QString refusalOfOpened(int fd, const QString &path, bool throughLink)
{
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode))
        return UserFile::tr("keine gewoehnliche Datei");
    if (!throughLink && status.st_nlink > 1 && UserFile::inSharedFolder(path))
        return UserFile::tr("Datei mit einem weiteren Namen in einem gemeinsamen Ordner, nicht beschrieben");
    return {};
}

// The link lies in a shared folder and is neither the user's nor the
// folder owner's.
bool isForeignLink(const QString &path, const struct stat &link, bool *shared)
{
    struct stat folder {};
    *shared = ::stat(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), &folder) == 0
            && isSharedFolder(folder);
    return *shared && link.st_uid != ::geteuid() && link.st_uid != folder.st_uid;
}

} // namespace

UserFile::Content UserFile::read(const QString &path, qint64 limit, std::chrono::milliseconds silence)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat status {};
    if (::stat(name.constData(), &status) != 0)
        return failure(errno == ENOENT ? Status::Missing : Status::Unopened, errno);
    if (S_ISDIR(status.st_mode))
        return failure(Status::Folder);
    // Opening a device could change a serial line; a socket never opens.
    if (!S_ISREG(status.st_mode) && !S_ISFIFO(status.st_mode))
        return failure(Status::NotAFile);
    const int fd = ::open(name.constData(), ReadFlags);
    if (fd < 0)
        return failure(Status::Unopened, errno);
    const bool regular = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
    const bool pipe = !regular && S_ISFIFO(status.st_mode);
    Content content = regular ? readFile(fd, limit) : pipe ? readPipe(fd, limit, silence) : failure(Status::NotAFile);
    ::close(fd);
    return content;
}

UserFile::Appendable UserFile::openForAppend(const QString &path)
{
    Appendable file;
    const QByteArray name = QFile::encodeName(path);
    struct stat status {};
    if (::stat(name.constData(), &status) == 0 && !S_ISREG(status.st_mode)) {
        file.error = tr("keine gewoehnliche Datei");
        return file;
    }
    int fd = openOwnName(name, &file.readable);
    const bool throughLink = fd < 0 && errno == ELOOP;
    if (throughLink) {
        struct stat link {};
        bool shared = false;
        if (::lstat(name.constData(), &link) == 0 && isForeignLink(path, link, &shared)) {
            file.error = tr("Verknuepfung eines anderen Benutzers in einem gemeinsamen Ordner, nicht gefolgt");
            return file;
        }
        fd = openForAppending(name, shared ? 0 : O_CREAT, &file.readable);
    }
    if (fd < 0) {
        file.error = qt_error_string(errno);
        return file;
    }
    file.error = refusalOfOpened(fd, path, throughLink);
    if (!file.error.isEmpty()) {
        ::close(fd);
        return file;
    }
    file.handle = fd;
    return file;
}

bool UserFile::inSharedFolder(const QString &path)
{
    struct stat folder {};
    return ::stat(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), &folder) == 0
            && isSharedFolder(folder);
}

QString UserFile::refusalToReplace(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat status {};
    bool shared = false;
    if (::lstat(name.constData(), &status) != 0)
        return {};
    if (S_ISLNK(status.st_mode) && isForeignLink(path, status, &shared))
        return tr("Verknuepfung eines anderen Benutzers in einem gemeinsamen Ordner, nicht gefolgt");
    if (::stat(name.constData(), &status) == 0 && !S_ISREG(status.st_mode))
        return tr("keine gewoehnliche Datei");
    return {};
}

QString UserFile::undecodableText(const QString &shown)
{
    return tr("\"%1\" ist kein UTF-8; solche Namen werden nicht genommen").arg(shown);
}

QString UserFile::undecodableArgument(int argc, const char *const *argv)
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray raw(argv[i]);
        if (QFile::encodeName(QFile::decodeName(raw)) == raw)
            continue;
        QString shown;
        for (const char byte : raw)
            shown += byte > 0x20 && byte < 0x7f ? QString(QLatin1Char(byte))
                                                : QString::asprintf("\\x%02x", quint8(byte));
        return shown;
    }
    return {};
}
