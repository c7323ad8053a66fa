#pragma once

#include <QCoreApplication>

class Console;

// Prints which device each COM name of the search stands for.
class PortListing
{
    Q_DECLARE_TR_FUNCTIONS(PortListing)

public:
    static int print(Console &console);
};
