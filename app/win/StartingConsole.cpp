#include "app/StartingConsole.h"

#include <cstdio>

#include <windows.h>

void StartingConsole::use()
{
    if (::GetFileType(::GetStdHandle(STD_OUTPUT_HANDLE)) == FILE_TYPE_UNKNOWN
        && ::AttachConsole(ATTACH_PARENT_PROCESS))
        std::freopen("CONOUT$", "w", stdout);
}
