#include "app/WindowIcon.h"

#include <QFile>
#include <QStandardPaths>

namespace {

// Looked up by path: QIcon::fromTheme finds nothing where no platform
// theme names an icon theme.
QIcon installedIcon()
{
    QIcon icon;
    for (const int size : {16, 32, 48, 64, 128, 256}) {
        const QString file = QStandardPaths::locate(
            QStandardPaths::GenericDataLocation, QStringLiteral("icons/hicolor/%1x%1/apps/zirbelwerk.png").arg(size));
        if (!file.isEmpty())
            icon.addFile(file, QSize(size, size));
    }
    return icon;
}

} // namespace

QIcon windowIcon()
{
    const QString local = QStringLiteral("images/fwloader.ico");
    if (QFile::exists(local))
        return QIcon(local);
    const QIcon installed = installedIcon();
    if (!installed.isNull())
        return installed;
    return QIcon(QStringLiteral(":/images/fwloader.ico"));
}
