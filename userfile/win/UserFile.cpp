#include "userfile/UserFile.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include <qt_windows.h>

namespace {

using Status = UserFile::Status;

UserFile::Content failure(Status status, DWORD reason = 0)
{
    return {status, {}, reason ? qt_error_string(int(reason)) : QString()};
}

// CON, NUL, COM1 ... stand for devices in every folder and with any
// extension; opening a COM port would change its line. \\.\ names are
// devices or pipes.
bool namesDevice(const QString &path)
{
    static const QStringList Devices {QStringLiteral("CON"), QStringLiteral("PRN"), QStringLiteral("AUX"),
                                      QStringLiteral("NUL"), QStringLiteral("CONIN$"), QStringLiteral("CONOUT$")};
    const QString native = QDir::toNativeSeparators(path);
    if (native.startsWith(QLatin1String("\\\\.\\")) || native.startsWith(QLatin1String("\\\\?\\GLOBALROOT")))
        return true;
    // "COM1:" and "NUL.txt" name the device as well.
    QString base = QFileInfo(native).fileName().section(QLatin1Char('.'), 0, 0).trimmed().toUpper();
    if (base.endsWith(QLatin1Char(':')))
        base.chop(1);
    if (Devices.contains(base))
        return true;
    const bool numbered = base.size() == 4 && (base.startsWith(QLatin1String("COM")) || base.startsWith(QLatin1String("LPT")));
    return numbered && base.at(3) >= QLatin1Char('0') && base.at(3) <= QLatin1Char('9');
}

std::wstring nativeName(const QString &path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

UserFile::Content readAll(HANDLE file, qint64 limit)
{
    UserFile::Content content {Status::Read, {}, {}};
    constexpr DWORD Chunk = 64 * 1024;
    while (content.bytes.size() <= limit) {
        const qint64 had = content.bytes.size();
        content.bytes.resize(had + Chunk);
        DWORD count = 0;
        const bool read = ::ReadFile(file, content.bytes.data() + had, Chunk, &count, nullptr);
        content.bytes.resize(had + count);
        if (!read)
            return failure(Status::Failed, ::GetLastError());
        if (count == 0)
            break;
    }
    return content;
}

} // namespace

UserFile::Content UserFile::read(const QString &path, qint64 limit, std::chrono::milliseconds)
{
    if (namesDevice(path))
        return failure(Status::NotAFile);
    const std::wstring name = nativeName(path);
    const DWORD attributes = ::GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD reason = ::GetLastError();
        const bool missing = reason == ERROR_FILE_NOT_FOUND || reason == ERROR_PATH_NOT_FOUND;
        return failure(missing ? Status::Missing : Status::Unopened, reason);
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return failure(Status::Folder);
    if (attributes & FILE_ATTRIBUTE_DEVICE)
        return failure(Status::NotAFile);
    const HANDLE file = ::CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return failure(Status::Unopened, ::GetLastError());
    Content content = ::GetFileType(file) == FILE_TYPE_DISK ? readAll(file, limit) : failure(Status::NotAFile);
    ::CloseHandle(file);
    return content;
}

UserFile::Appendable UserFile::openForAppend(const QString &path)
{
    Appendable file;
    const std::wstring name = nativeName(path);
    const DWORD attributes = ::GetFileAttributesW(name.c_str());
    if (namesDevice(path)
        || (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)))) {
        file.error = tr("keine gewoehnliche Datei");
        return file;
    }
    const HANDLE handle = ::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                       OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        file.error = qt_error_string(int(::GetLastError()));
        return file;
    }
    if (::GetFileType(handle) != FILE_TYPE_DISK) {
        ::CloseHandle(handle);
        file.error = tr("keine gewoehnliche Datei");
        return file;
    }
    file.handle = reinterpret_cast<qintptr>(handle);
    file.readable = true;
    return file;
}

// Windows folders keep other users' names apart by their rights.
bool UserFile::inSharedFolder(const QString &)
{
    return false;
}

QString UserFile::refusalToReplace(const QString &path)
{
    const DWORD attributes = ::GetFileAttributesW(nativeName(path).c_str());
    if (namesDevice(path)
        || (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE))))
        return tr("keine gewoehnliche Datei");
    return {};
}

QString UserFile::undecodableText(const QString &shown)
{
    return tr("\"%1\" ist kein UTF-8; solche Namen werden nicht genommen").arg(shown);
}

// Windows hands the programs their arguments as UTF-16: nothing is lost.
QString UserFile::undecodableArgument(int, const char *const *)
{
    return {};
}
