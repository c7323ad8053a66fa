#include "app/VELDfwloader.h"
#include "app/WindowIcon.h"
#include "i18n/Translation.h"
#include "userfile/UserFile.h"

#include "zwversion.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

#ifdef Q_OS_WIN
#include <windows.h>

namespace {

// A window program has no console of its own: it answers in the console it
// was started from, if any (cmd does not wait for it, so the answer comes
// after the next prompt). Redirected output is kept as it is.
void useStartingConsole()
{
    if (::GetFileType(::GetStdHandle(STD_OUTPUT_HANDLE)) == FILE_TYPE_UNKNOWN
        && ::AttachConsole(ATTACH_PARENT_PROCESS))
        std::freopen("CONOUT$", "w", stdout);
}

} // namespace
#endif

int main(int argc, char *argv[])
{
    // Answered before QApplication, which needs a display.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
#ifdef Q_OS_WIN
        useStartingConsole();
#endif
        std::puts("zirbelwerk " ZW_VERSION);
        return 0;
    }
    QApplication application(argc, argv);
    // Before the window, whose form takes its texts when it is built.
    Translation::install(application);
    QApplication::setApplicationVersion(QStringLiteral(ZW_VERSION));
    // Lets Wayland compositors match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.zirbelwerk.ZirbelWerk"));
    VELDfwloader window;
    const QIcon icon = windowIcon();
    application.setWindowIcon(icon);
    window.setWindowIcon(icon);
    window.show();
    window.loadFileArgument(QCoreApplication::arguments(), UserFile::undecodableArgument(argc, argv));
    return application.exec();
}
