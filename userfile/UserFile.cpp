#include "userfile/UserFile.h"

#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>

namespace {

QString saved(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return file.errorString();
    return {};
}

// rename() replaces the name, whatever stands there, and follows nothing.
QString renamedInto(const QString &path, const QByteArray &bytes)
{
    QTemporaryFile file(QFileInfo(path).absolutePath() + QStringLiteral("/.zirbelwerk-XXXXXX"));
    if (!file.open() || file.write(bytes) != bytes.size() || !file.flush())
        return file.errorString();
    // As a new file is made elsewhere, not private as a temporary one.
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup
                        | QFileDevice::ReadOther);
    if (std::rename(QFile::encodeName(file.fileName()).constData(), QFile::encodeName(path).constData()) != 0)
        return qt_error_string(errno);
    file.setAutoRemove(false);
    return {};
}

} // namespace

QString UserFile::replaceWith(const QString &path, const QByteArray &bytes)
{
    if (const QString refusal = refusalToReplace(path); !refusal.isEmpty())
        return refusal;
    return inSharedFolder(path) ? renamedInto(path, bytes) : saved(path, bytes);
}
