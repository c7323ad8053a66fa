#include "app/VELDfwloader.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    VELDfwloader window;
    // From the working directory, not from the resources.
    const QIcon icon(QStringLiteral("images/fwloader.ico"));
    application.setWindowIcon(icon);
    window.setWindowIcon(icon);
    window.show();
    return application.exec();
}
