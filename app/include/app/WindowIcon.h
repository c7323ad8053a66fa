#pragma once

#include <QIcon>

// The window's icon: "images/fwloader.ico" in the working directory, as it
// always was; else the copy installed into the hicolor icon theme; else the
// built-in one, so a window started from any folder has its icon.
QIcon windowIcon();
