#pragma once

#include <QCoreApplication>
#include <QStringList>

class Console;

// Prints which device each COM name of the search stands for.
class PortListing
{
    Q_DECLARE_TR_FUNCTIONS(PortListing)

public:
    static int print(Console &console);

private:
    // One line a port, as the system can tell of it.
    static QStringList rows();
};
