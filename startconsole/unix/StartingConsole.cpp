#include "startconsole/StartingConsole.h"

void StartingConsole::use()
{
}
