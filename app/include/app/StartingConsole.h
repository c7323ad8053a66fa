#pragma once

// Where --version answers. A window program on Windows has no console of
// its own: it takes the one it was started from, if any (cmd does not wait
// for it, so the answer comes after the next prompt), and keeps redirected
// output as it is. Elsewhere the terminal already is the program's.
namespace StartingConsole {
void use();
}
