// Under Wine: the simulator runs on the Linux side, started by zw_simbroker
// through files in the folder that ZW_SIM_FOLDER names.
#include "../SimInstrument.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>

using namespace std::chrono_literals;

namespace {

// The broker waits up to 5 s for a simulator to name its device.
constexpr auto StartTimeout = 10s;
constexpr auto StopTimeout = 8s;
constexpr auto FilePollInterval = 5ms;

QString folder()
{
    return qEnvironmentVariable("ZW_SIM_FOLDER");
}

QByteArray content(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

bool SimInstrument::start()
{
    static QAtomicInt counter;
    if (!m_id.isEmpty() || folder().isEmpty()) {
        if (folder().isEmpty())
            qWarning("ZW_SIM_FOLDER is not set: no simulator under Wine without zw_simbroker");
        return false;
    }
    m_id = QStringLiteral("%1-%2").arg(QCoreApplication::applicationPid()).arg(counter.fetchAndAddRelaxed(1));
    // Whole or not at all: the broker takes only *.request. A rename that
    // Wine reports as failed may still have happened (the broker was quick),
    // so the answer decides.
    const QString base = folder() + QLatin1Char('/') + m_id;
    QFile request(base + QStringLiteral(".new"));
    if (!request.open(QIODevice::WriteOnly)
        || request.write(QByteArray::number(m_comNumber) + '\n' + m_arguments.join(QLatin1Char('\n')).toUtf8() + '\n')
                <= 0) {
        qWarning("no request to zw_simbroker: %s", qPrintable(request.errorString()));
        return false;
    }
    request.close();
    request.rename(base + QStringLiteral(".request"));
    const QString answer = folder() + QLatin1Char('/') + m_id + QStringLiteral(".port");
    const QDeadlineTimer deadline(StartTimeout);
    while (!QFile::exists(answer) && !deadline.hasExpired())
        pause(FilePollInterval);
    m_devicePath = QString::fromLatin1(content(answer)).trimmed();
    if (m_devicePath.isEmpty())
        qWarning("zw_simbroker started no simulator for %s", qPrintable(m_id));
    return !m_devicePath.isEmpty();
}

bool SimInstrument::isRunning() const
{
    return !m_devicePath.isEmpty() && !QFile::exists(folder() + QLatin1Char('/') + m_id + QStringLiteral(".ended"));
}

void SimInstrument::stop()
{
    if (!isRunning())
        return;
    QFile request(folder() + QLatin1Char('/') + m_id + QStringLiteral(".stop"));
    if (!request.open(QIODevice::WriteOnly))
        return;
    request.close();
    const QDeadlineTimer deadline(StopTimeout);
    while (isRunning() && !deadline.hasExpired())
        pause(FilePollInterval);
}

int SimInstrument::exitCode() const
{
    const QByteArray ended = content(folder() + QLatin1Char('/') + m_id + QStringLiteral(".ended"));
    bool ok = false;
    const int code = ended.trimmed().toInt(&ok);
    return ok ? code : -1;
}

QString SimInstrument::memoryPath() const
{
    return folder() + QLatin1Char('/') + m_id + QStringLiteral(".memory");
}

QString SimInstrument::reportPath() const
{
    return folder() + QLatin1Char('/') + m_id + QStringLiteral(".report");
}
