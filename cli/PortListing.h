#pragma once

class Console;

// Prints which device each COM name of the search stands for.
class PortListing
{
public:
    static int print(Console &console);
};
