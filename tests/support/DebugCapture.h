#pragma once

#include <QStringList>

// Collects the program's debug output while it lives, and still prints it.
class DebugCapture
{
public:
    DebugCapture();
    ~DebugCapture();
    DebugCapture(const DebugCapture &) = delete;
    DebugCapture &operator=(const DebugCapture &) = delete;

    QStringList lines() const;
    int count(const QString &line) const { return int(lines().count(line)); }
};
