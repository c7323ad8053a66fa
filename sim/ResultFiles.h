#pragma once

#include <QByteArray>
#include <QString>

// The memory image and the report that tests read while the simulator
// runs. Each file is written under a temporary name and renamed over the
// old one, so a reader never sees half a file. Empty paths are skipped.
class ResultFiles
{
public:
    ResultFiles(const QString &memoryPath, const QString &reportPath);

    bool writeMemory(const QByteArray &memory) const;
    bool writeReport(const QString &report) const;

private:
    static bool writeAtomically(const QString &path, const QByteArray &data);

    QString m_memoryPath;
    QString m_reportPath;
};
