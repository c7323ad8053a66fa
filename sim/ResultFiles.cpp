#include "sim/ResultFiles.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

ResultFiles::ResultFiles(const QString &memoryPath, const QString &reportPath)
    : m_memoryPath(memoryPath)
    , m_reportPath(reportPath)
{
}

bool ResultFiles::writeMemory(const QByteArray &memory) const
{
    return m_memoryPath.isEmpty() || writeAtomically(m_memoryPath, memory);
}

bool ResultFiles::writeReport(const QString &report) const
{
    return m_reportPath.isEmpty() || writeAtomically(m_reportPath, report.toUtf8());
}

// Not QSaveFile: that syncs to disk on every commit, and the report is
// rewritten after every block. Visibility, not durability, is what counts.
bool ResultFiles::writeAtomically(const QString &path, const QByteArray &data)
{
    const QString temporary = path + QStringLiteral(".tmp%1").arg(QCoreApplication::applicationPid());
    QFile file(temporary);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(data) != data.size()) {
        file.remove();
        return false;
    }
    file.close();
    if (std::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(path).constData()) != 0) {
        QFile::remove(temporary);
        return false;
    }
    return true;
}
