#include "i18n/Translation.h"

#include <QCoreApplication>
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
