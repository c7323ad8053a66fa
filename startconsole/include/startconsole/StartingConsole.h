#pragma once

// Where a window program's --version and refusals of its call go. On
// Windows it has no console of its own: it takes the one it was started
// from, if any (cmd does not wait for it, so the answer comes after the next
// prompt), and keeps redirected output as it is. Elsewhere the terminal
// already is the program's.
namespace StartingConsole {
void use();
}
