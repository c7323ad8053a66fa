#include "app/VELDfwloader.h"
#include "app/WindowIcon.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    VELDfwloader window;
    const QIcon icon = windowIcon();
    application.setWindowIcon(icon);
    window.setWindowIcon(icon);
    window.show();
    return application.exec();
}
