#include "app/VELDfwloader.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    VELDfwloader window;
    // A plain path, relative to the working directory, as it always was.
    const QIcon icon(QStringLiteral("images/fwloader.ico"));
    application.setWindowIcon(icon);
    window.setWindowIcon(icon);
    window.show();
    return application.exec();
}
