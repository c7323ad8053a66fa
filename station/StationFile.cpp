#include "station/StationFile.h"

#include "kvfile/KeyValueFile.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

const QString FirmwareKey = QStringLiteral("firmware");
const QString Sha256Key = QStringLiteral("sha256");
const QString ModeKey = QStringLiteral("mode");
const QString RearmKey = QStringLiteral("rearm_after");
const QString PortsKey = QStringLiteral("ports");
const QString NameKey = QStringLiteral("name");
const QString ModeAuto = QStringLiteral("auto");
const QString ModeManual = QStringLiteral("manual");

// Ports are listed with commas or blanks between them.
QStringList portList(const QString &text)
{
    static const QRegularExpression separators(QStringLiteral("[,\\s]+"));
    return text.split(separators, Qt::SkipEmptyParts);
}

} // namespace

bool StationFile::isStationFile(const QString &path)
{
    return QFileInfo(path).suffix().compare(QLatin1String(Extension), Qt::CaseInsensitive) == 0;
}

StationFile StationFile::ofHexFile(const QString &hexPath)
{
    StationFile file;
    file.firmware = QFileInfo(hexPath).absoluteFilePath();
    return file;
}

bool StationFile::load(const QString &path)
{
    const QString shown = QDir::toNativeSeparators(path);
    const QFileInfo info(path);
    KeyValueFile values;
    if (!info.isFile() || !values.load(path)) {
        error = tr("Stationsdatei %1 nicht lesbar").arg(shown);
        return false;
    }
    const QString relative = values.getString(FirmwareKey, {});
    if (relative.isEmpty()) {
        error = tr("Stationsdatei %1 nennt keine Firmware (firmware=)").arg(shown);
        return false;
    }
    firmware = QFileInfo(info.absoluteDir(), QDir::fromNativeSeparators(relative)).absoluteFilePath();
    sha256 = values.getString(Sha256Key, {}).trimmed().toLower();
    const QString mode = values.getString(ModeKey, ModeManual).trimmed();
    if (mode != ModeAuto && mode != ModeManual) {
        error = tr("Stationsdatei %1: mode=%2, erlaubt sind auto und manual").arg(shown, mode);
        return false;
    }
    automatic = mode == ModeAuto;
    const int seconds = values.getInt(RearmKey, int(RearmAfterDefault.count()));
    if (seconds < RearmAfterShortest.count() || seconds > RearmAfterLongest.count()) {
        error = tr("Stationsdatei %1: rearm_after muss zwischen %2 und %3 Sekunden liegen")
                        .arg(shown).arg(RearmAfterShortest.count()).arg(RearmAfterLongest.count());
        return false;
    }
    rearmAfter = std::chrono::seconds(seconds);
    ports = portList(values.getString(PortsKey, {}));
    name = values.getString(NameKey, {}).trimmed();
    return true;
}

bool StationFile::save(const QString &path) const
{
    const QDir folder = QFileInfo(path).absoluteDir();
    // Beside or below the station file, the pair moves together.
    QString relative = folder.relativeFilePath(firmware);
    if (relative.startsWith(QLatin1String("..")))
        relative = firmware;
    KeyValueFile values;
    values.load(path);
    values.setString(FirmwareKey, relative);
    values.setString(Sha256Key, sha256);
    values.setString(ModeKey, automatic ? ModeAuto : ModeManual);
    values.setInt(RearmKey, int(rearmAfter.count()));
    values.setString(PortsKey, ports.join(QLatin1Char(',')));
    values.setString(NameKey, name);
    return values.save();
}
