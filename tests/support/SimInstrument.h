#pragma once

#include <QByteArray>
#include <QMap>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <chrono>
#include <memory>

// The simulated instrument (zirbelwerk-sim) as a child process on its own
// pseudo-terminal, with its memory and report files in a private temporary
// directory. Several can run at once. The destructor stops the process.
// Under Wine the simulator runs on the Linux side: zw_simbroker starts it
// on request (in the folder ZW_SIM_FOLDER names) and links a COM port of the
// prefix to it, and devicePath() is that COM name.
class SimInstrument
{
public:
    // extraArguments go to the simulator as they are, e.g. {"--baud", "57600"}.
    explicit SimInstrument(const QStringList &extraArguments = {});
    ~SimInstrument();
    SimInstrument(const SimInstrument &) = delete;
    SimInstrument &operator=(const SimInstrument &) = delete;

    // Under Wine, the COM port to link it to; by default the lowest free one.
    void setComNumber(int number) { m_comNumber = number; }
    // Starts the simulator and waits until it has named its device.
    bool start();
    bool isRunning() const;
    QString devicePath() const { return m_devicePath; }

    // Waits until the report counts at least n finished writes. Keeps the
    // caller's event loop running meanwhile, so a loader in this process
    // can go on talking to the instrument.
    bool waitForWrites(int n, std::chrono::milliseconds timeout);

    // The memory after the last finished (or cut) write, 65536 bytes; empty
    // before any write.
    QByteArray memory() const;
    // The report's single keys (writes, blocks, end_marker, queries,
    // violations); the violation lines come from violations().
    QMap<QString, QString> report() const;
    QStringList violations() const;

    // SIGTERM, so the simulator writes its report, then waits for the end.
    void stop();
    // The simulator's exit code once it has ended, -1 before.
    int exitCode() const;

private:
    // Lets queued events and timers of the caller run while waiting.
    static void pause(std::chrono::milliseconds interval);
    QStringList reportLines() const;
    QString memoryPath() const;
    QString reportPath() const;

    QStringList m_arguments;
    QTemporaryDir m_directory;
    std::unique_ptr<QProcess> m_process;
    QString m_devicePath;
    int m_comNumber = 0;
    QString m_id; // the broker's name for it, under Wine
};
