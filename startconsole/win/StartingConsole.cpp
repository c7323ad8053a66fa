#include "startconsole/StartingConsole.h"

#include <cstdio>

#include <windows.h>

void StartingConsole::use()
{
    const bool outShown = ::GetFileType(::GetStdHandle(STD_OUTPUT_HANDLE)) != FILE_TYPE_UNKNOWN;
    const bool errorsShown = ::GetFileType(::GetStdHandle(STD_ERROR_HANDLE)) != FILE_TYPE_UNKNOWN;
    if ((outShown && errorsShown) || !::AttachConsole(ATTACH_PARENT_PROCESS))
        return;
    if (!outShown)
        std::freopen("CONOUT$", "w", stdout);
    if (!errorsShown)
        std::freopen("CONOUT$", "w", stderr);
}
