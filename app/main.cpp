#include "startconsole/StartingConsole.h"
#include "app/VELDfwloader.h"
#include "app/WindowIcon.h"
#include "i18n/Translation.h"
#include "userfile/UserFile.h"

#include "zwversion.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

int main(int argc, char *argv[])
{
    // Answered before QApplication, which needs a display.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        StartingConsole::use();
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
