#include "device/FlashRecord.h"

#include "serial/PortIdentity.h"
#include "zwversion.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QStandardPaths>
#include <QSysInfo>

#include <cmath>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace {

QJsonValue textOrNull(const QString &text)
{
    return text.isEmpty() ? QJsonValue() : QJsonValue(text);
}

QString userName()
{
#ifdef Q_OS_UNIX
    if (const passwd *entry = ::getpwuid(::geteuid()))
        return QString::fromLocal8Bit(entry->pw_name);
    return qEnvironmentVariable("USER");
#else
    return qEnvironmentVariable("USERNAME");
#endif
}

QString resultOf(const FlashOutcome &outcome)
{
    if (outcome.isWritten())
        return QStringLiteral("written");
    if (outcome.failure() == FlashOutcome::Failure::Interrupted)
        return QStringLiteral("interrupted");
    return QStringLiteral("failed");
}

// A write refused before its start command reached no block.
int blockReached(const FlashOutcome &outcome)
{
    return outcome.isWritten() || outcome.leftInstrumentWaiting() ? outcome.block() : 0;
}

void addSurroundings(QJsonObject &entry)
{
    entry[QStringLiteral("time")] = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
    entry[QStringLiteral("version")] = QStringLiteral(ZW_VERSION);
    entry[QStringLiteral("host")] = textOrNull(QSysInfo::machineHostName());
    entry[QStringLiteral("user")] = textOrNull(userName());
}

void addPort(QJsonObject &entry, const FlashRecordFacts &facts)
{
    const PortIdentity identity = PortIdentity::of(facts.device);
    entry[QStringLiteral("port")] = textOrNull(facts.port);
    entry[QStringLiteral("device")] = textOrNull(facts.device);
    entry[QStringLiteral("usb_vid")] = textOrNull(PortIdentity::hexId(identity.vendorId));
    entry[QStringLiteral("usb_pid")] = textOrNull(PortIdentity::hexId(identity.productId));
    entry[QStringLiteral("usb_serial")] = textOrNull(identity.serialNumber);
    entry[QStringLiteral("usb_description")] = textOrNull(identity.description);
    const auto version = facts.firmwareBefore;
    entry[QStringLiteral("firmware_before")] =
            version ? QJsonValue(QString::asprintf("V%d.%02d", *version / 100, *version % 100)) : QJsonValue();
}

void addFile(QJsonObject &entry, const FlashRecordFacts &facts)
{
    const bool known = !facts.file.isEmpty();
    entry[QStringLiteral("file")] = textOrNull(facts.file);
    entry[QStringLiteral("file_size")] = known ? QJsonValue(facts.fileSize) : QJsonValue();
    entry[QStringLiteral("file_sha256")] = textOrNull(QString::fromLatin1(facts.fileSha256.toHex()));
    entry[QStringLiteral("image_length")] = facts.imageLength;
}

void addOutcome(QJsonObject &entry, const FlashRecordFacts &facts)
{
    const FlashOutcome &outcome = facts.outcome;
    entry[QStringLiteral("blocks")] = outcome.blockTotal();
    entry[QStringLiteral("result")] = resultOf(outcome);
    entry[QStringLiteral("failure")] = textOrNull(outcome.code());
    entry[QStringLiteral("message")] = outcome.fullText();
    entry[QStringLiteral("block")] = blockReached(outcome);
    entry[QStringLiteral("seconds")] = std::round(facts.seconds * 1000) / 1000;
}

#ifdef Q_OS_UNIX
// A line cut short (a full disk) is taken back, so that the next one starts
// on a line of its own. Returns errno, 0 when the line is in.
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
    const int error = written < 0 ? errno : ENOSPC;
    if (written > 0 && ::ftruncate(fd, before.st_size) != 0)
        return errno;
    return error;
}

// One write() under an exclusive lock: whole lines, one process at a time,
// also where appending alone is not atomic (NFS).
int appendWhole(const QString &path, const QByteArray &line)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return errno;
    while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
    }
    int error = writeLine(fd, line);
    if (::close(fd) != 0 && error == 0)
        error = errno;
    return error;
}
#endif

} // namespace

QString FlashRecord::defaultPath()
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return data.isEmpty() ? QString() : data + QStringLiteral("/zirbelwerk/flash-record.jsonl");
}

FlashRecord::FlashRecord(QString path)
    : filePath(std::move(path))
{
}

QJsonObject FlashRecord::entry(const FlashRecordFacts &facts)
{
    QJsonObject entry;
    addSurroundings(entry);
    entry[QStringLiteral("program")] = facts.program;
    addPort(entry, facts);
    addFile(entry, facts);
    addOutcome(entry, facts);
    return entry;
}

bool FlashRecord::append(const QJsonObject &entry)
{
    error.clear();
    if (filePath.isEmpty())
        return fail(tr("kein Ort fuer Daten des Benutzers bekannt"));
    const QString folder = QFileInfo(filePath).absolutePath();
    if (!QDir().mkpath(folder))
        return fail(tr("Ordner %1 kann nicht angelegt werden").arg(QDir::toNativeSeparators(folder)));
    const QByteArray line = QJsonDocument(entry).toJson(QJsonDocument::Compact) + '\n';
#ifdef Q_OS_UNIX
    if (const int reason = appendWhole(filePath, line))
        return fail(qt_error_string(reason));
#else
    QFile file(filePath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append) || file.write(line) != line.size())
        return fail(file.errorString());
#endif
    return true;
}

bool FlashRecord::fail(const QString &reason)
{
    error = tr("Flash-Protokoll nicht geschrieben: %1: %2").arg(QDir::toNativeSeparators(filePath), reason);
    return false;
}
