#include "serial/PortNames.h"

#include <QRegularExpression>

QStringList PortNames::comNames(int count)
{
    QStringList names;
    for (int i = 1; i <= count; ++i)
        names << QString::asprintf("COM%i", i);
    return names;
}

QString PortNames::unsearchedWarning()
{
    if (!fromEnvironment())
        return {};
    const qsizetype count = devicePaths().size();
    if (count <= ComCount)
        return {};
    return tr("%1 nennt %2 Geraete; nur die ersten %3 (COM1 bis COM%3) werden gefragt")
            .arg(QLatin1String(EnvironmentVariable)).arg(count).arg(ComCount);
}

int PortNames::comNumber(const QString &comName)
{
    static const QRegularExpression com(QStringLiteral("^COM([1-9]\\d{0,3})$"));
    const auto match = com.match(comName);
    return match.hasMatch() ? match.captured(1).toInt() : 0;
}
