#include "SimInstrument.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QThread>
#include <QTimer>

using namespace std::chrono_literals;

namespace {

constexpr auto StartTimeout = 5s;
constexpr auto StopTimeout = 5s;
constexpr auto KillTimeout = 2s;
constexpr auto ReportPollInterval = 10ms;
const QString ViolationKey = QStringLiteral("violation");

} // namespace

void SimInstrument::pause(std::chrono::milliseconds interval)
{
    if (QCoreApplication::instance() == nullptr) {
        QThread::msleep(static_cast<unsigned long>(interval.count()));
        return;
    }
    QEventLoop loop;
    QTimer::singleShot(interval, &loop, &QEventLoop::quit);
    loop.exec();
}

SimInstrument::SimInstrument(const QStringList &extraArguments)
    : m_arguments(extraArguments)
{
}

SimInstrument::~SimInstrument()
{
    stop();
}

#ifndef Q_OS_WIN
bool SimInstrument::start()
{
    if (!m_directory.isValid() || m_process)
        return false;
    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process->start(QStringLiteral(ZW_SIM_EXECUTABLE),
                     m_arguments
                         + QStringList{QStringLiteral("--memory-out"), memoryPath(),
                                       QStringLiteral("--report"), reportPath()});
    const QDeadlineTimer deadline(StartTimeout);
    while (!m_process->canReadLine()) {
        if (!m_process->waitForReadyRead(int(deadline.remainingTime()))
            && !m_process->canReadLine()) {
            stop();
            return false;
        }
    }
    m_devicePath = QString::fromLocal8Bit(m_process->readLine()).trimmed();
    return !m_devicePath.isEmpty();
}

bool SimInstrument::isRunning() const
{
    return m_process && m_process->state() != QProcess::NotRunning;
}

#endif

bool SimInstrument::waitForWrites(int n, std::chrono::milliseconds timeout)
{
    const QDeadlineTimer deadline(timeout);
    for (;;) {
        const bool ended = !isRunning();
        if (report().value(QStringLiteral("writes")).toInt() >= n)
            return true;
        // The report of a simulator that has ended is final.
        if (ended || deadline.hasExpired())
            return false;
        pause(ReportPollInterval);
    }
}

QByteArray SimInstrument::memory() const
{
    QFile file(memoryPath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QMap<QString, QString> SimInstrument::report() const
{
    QMap<QString, QString> values;
    for (const QString &line : reportLines()) {
        const int equals = line.indexOf(QLatin1Char('='));
        if (equals > 0 && line.left(equals) != ViolationKey)
            values.insert(line.left(equals), line.mid(equals + 1));
    }
    return values;
}

QStringList SimInstrument::violations() const
{
    QStringList found;
    const QString prefix = ViolationKey + QLatin1Char('=');
    for (const QString &line : reportLines()) {
        if (line.startsWith(prefix))
            found.append(line.mid(prefix.size()));
    }
    return found;
}

#ifndef Q_OS_WIN
void SimInstrument::stop()
{
    if (!m_process)
        return;
    if (m_process->state() != QProcess::NotRunning) {
        m_process->terminate();
        if (!m_process->waitForFinished(int(std::chrono::milliseconds(StopTimeout).count()))) {
            m_process->kill();
            m_process->waitForFinished(int(std::chrono::milliseconds(KillTimeout).count()));
        }
    }
}

int SimInstrument::exitCode() const
{
    if (!m_process || m_process->state() != QProcess::NotRunning
        || m_process->exitStatus() != QProcess::NormalExit)
        return -1;
    return m_process->exitCode();
}

#endif

QStringList SimInstrument::reportLines() const
{
    QFile file(reportPath());
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

#ifndef Q_OS_WIN
QString SimInstrument::memoryPath() const
{
    return m_directory.filePath(QStringLiteral("memory.bin"));
}

QString SimInstrument::reportPath() const
{
    return m_directory.filePath(QStringLiteral("report.txt"));
}
#endif
