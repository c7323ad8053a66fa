#include "cli/Console.h"

#include <io.h>

bool Console::isTerminal(FILE *stream)
{
    return _isatty(_fileno(stream)) != 0;
}

// A console's width is not asked for: the progress line fits 80 columns.
int Console::terminalWidth() const
{
    return 80;
}
