#include "cli/Console.h"

#include <sys/ioctl.h>
#include <unistd.h>

bool Console::isTerminal(FILE *stream)
{
    return ::isatty(::fileno(stream)) != 0;
}

int Console::terminalWidth() const
{
    winsize size {};
    if (::ioctl(::fileno(out), TIOCGWINSZ, &size) == 0 && size.ws_col > 1)
        return size.ws_col;
    return 80;
}
