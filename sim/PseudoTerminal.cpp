#include "sim/PseudoTerminal.h"

#include <QFile>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

QString systemError(const char *what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
}

QString readLink(const QString &path)
{
    char target[4096];
    const ssize_t n = ::readlink(QFile::encodeName(path).constData(), target, sizeof target - 1);
    return n < 0 ? QString() : QFile::decodeName(QByteArray(target, int(n)));
}

} // namespace

PseudoTerminal::~PseudoTerminal()
{
    close();
}

bool PseudoTerminal::open(QString *error)
{
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_master < 0) {
        *error = systemError("posix_openpt");
        return false;
    }
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
        *error = systemError("grantpt/unlockpt");
        return false;
    }
    const char *name = ::ptsname(m_master);
    if (name == nullptr) {
        *error = systemError("ptsname");
        return false;
    }
    m_slavePath = QFile::decodeName(name);
    m_slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slave < 0) {
        *error = systemError("open slave");
        return false;
    }
    return makeRaw(error);
}

bool PseudoTerminal::makeRaw(QString *error)
{
    termios settings{};
    if (::tcgetattr(m_slave, &settings) != 0) {
        *error = systemError("tcgetattr");
        return false;
    }
    ::cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    ::cfsetspeed(&settings, B57600);
    if (::tcsetattr(m_slave, TCSANOW, &settings) != 0) {
        *error = systemError("tcsetattr");
        return false;
    }
    return true;
}

bool PseudoTerminal::link(const QString &path, QString *error)
{
    const QByteArray encoded = QFile::encodeName(path);
    struct stat info{};
    if (::lstat(encoded.constData(), &info) == 0) {
        if (!S_ISLNK(info.st_mode)) {
            *error = QStringLiteral("%1 exists and is not a symbolic link").arg(path);
            return false;
        }
        ::unlink(encoded.constData());
    }
    if (::symlink(QFile::encodeName(m_slavePath).constData(), encoded.constData()) != 0) {
        *error = systemError("symlink");
        return false;
    }
    m_linkPath = path;
    return true;
}

void PseudoTerminal::close()
{
    // Another simulator may have taken the name over meanwhile.
    if (!m_linkPath.isEmpty() && readLink(m_linkPath) == m_slavePath)
        ::unlink(QFile::encodeName(m_linkPath).constData());
    m_linkPath.clear();
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
    m_slave = -1;
    m_master = -1;
}
