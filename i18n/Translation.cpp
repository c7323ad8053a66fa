#include "i18n/Translation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

bool Translation::wantsEnglish(const QStringList &uiLanguages)
{
    const QString first = uiLanguages.value(0);
    return first == QLatin1String("en") || first.startsWith(QLatin1String("en-"));
}

bool Translation::install(QCoreApplication &application)
{
    if (!wantsEnglish(QLocale::system().uiLanguages()))
        return false;
    auto *translator = new QTranslator(&application);
    if (!translator->load(QStringLiteral(":/i18n/zirbelwerk_en.qm")) || !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return false;
    }
    return true;
}

bool Translation::installQtGerman(QCoreApplication &application)
{
    auto *translator = new QTranslator(&application);
    const QStringList folders {QCoreApplication::applicationDirPath() + QLatin1String("/translations"),
                               QLibraryInfo::path(QLibraryInfo::TranslationsPath)};
    for (const QString &folder : folders) {
        if (translator->load(QStringLiteral("qtbase_de"), folder))
            return QCoreApplication::installTranslator(translator);
    }
    delete translator;
    return false;
}
