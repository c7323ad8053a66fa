#pragma once

#include <QStringList>

class QCoreApplication;

// German is the programs' own language; English comes from the embedded
// catalogue when the system's first user-interface language is English.
class Translation
{
public:
    // "en" or "en-*" first; C, POSIX and every other language stay German.
    static bool wantsEnglish(const QStringList &uiLanguages);
    // Call before any text is made. True when English was installed.
    static bool install(QCoreApplication &application);
    // Qt's own German catalogue, for a program that speaks German: beside the
    // executable in translations/, else where Qt keeps it. True when found.
    static bool installQtGerman(QCoreApplication &application);
};
