#pragma once

#include <QString>

// A pseudo-terminal standing in for the instrument's serial port. The
// host opens the slave side by its path (or by an optional symbolic link);
// the simulator works on the master side.
//
// The object keeps a descriptor of its own on the slave, so the master does
// not see a hang-up (and reads do not fail) while the host has the port
// closed; the host opens and closes it many times while it searches.
class PseudoTerminal
{
public:
    PseudoTerminal() = default;
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;

    bool open(QString *error);
    // Points path at the slave. Replaces an old link, never another file.
    bool link(const QString &path, QString *error);
    // Closes both sides, so that the host sees a hang-up, and removes the link.
    void close();

    int masterFd() const { return m_master; }
    QString slavePath() const { return m_slavePath; }

private:
    bool makeRaw(QString *error);

    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
    QString m_linkPath;
};
