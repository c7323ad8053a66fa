#include "app/StartingConsole.h"

void StartingConsole::use()
{
}
