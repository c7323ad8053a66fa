// Holds a serial port open the way this program does, until killed: the
// "other program" that has the instrument's port.
#include "serial/Modem.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    if (argc != 2)
        return 2;
    Modem modem;
    if (!modem.openPort(QString::fromLocal8Bit(argv[1])))
        return 1;
    QTextStream(stdout) << "held" << Qt::endl;
    return application.exec();
}
