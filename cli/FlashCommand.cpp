#include "cli/FlashCommand.h"

#include "cli/Console.h"
#include "cli/ExitCode.h"
#include "serial/PortNames.h"

#include <QDeadlineTimer>
#include <QSerialPort>
#include <QThread>

#ifdef Q_OS_UNIX
#include <sys/ioctl.h>
#endif

namespace {
// The end marker and the last block leave a 9600-baud line in 70 ms.
constexpr std::chrono::milliseconds SendDrainTimeout{2000};
} // namespace

FlashCommand::FlashCommand(const CliOptions &options, Console &console, QObject *parent)
    : QObject(parent),
      options(options),
      console(console),
      firmware(console),
      search(modem, options.port.isEmpty() ? PortNames::comNames() : QStringList {options.port}),
      progress(console)
{
    connectSearch();
    connect(&writer, &FlashWriter::replyReceived, this,
            [this](int replies, int) { progress.update(replies, writer.blocksSent()); });
    connect(&writer, &FlashWriter::finished, this, &FlashCommand::onWriteFinished);
}

void FlashCommand::connectSearch()
{
    connect(&search, &DeviceSearch::trying, this, &FlashCommand::showTrying);
    connect(&search, &DeviceSearch::queried, this, [this](const QString &name) {
        if (!console.isTerminal())
            console.line(QStringLiteral("Suche HW :") + withDevicePath(name));
    });
    connect(&search, &DeviceSearch::replyRefused, this, [this](const QString &name, const QString &tag, int version) {
        console.line(QStringLiteral("%1: Antwort nicht erkannt (Kennung \"%2\", Version: %3)")
                             .arg(name, tag, QString::asprintf("%03i", version)));
    });
    // During a search over all names, missing ports are the rule, not news.
    if (!options.port.isEmpty())
        connect(&search, &DeviceSearch::portUnavailable, this, [this](const QString &name, const QString &reason) {
            console.error(QStringLiteral("Port %1 nicht geoeffnet: %2").arg(name, reason));
        });
    connect(&search, &DeviceSearch::found, this, &FlashCommand::onFound);
    connect(&search, &DeviceSearch::notFound, this, &FlashCommand::onNotFound);
}

void FlashCommand::start()
{
    if (!firmware.load(options.file)) {
        finish(ExitCode::FileRefused);
        return;
    }
    if (options.baudRate != 0)
        modem.setBaudRate(options.baudRate);
    search.start();
}

void FlashCommand::showTrying(const QString &name)
{
    console.status(QStringLiteral("Suche HW :") + name);
}

void FlashCommand::onFound(const QString &name, int firmwareVersion)
{
    console.line(QStringLiteral("HW gefunden an: ") + withDevicePath(name));
    console.line(QString::asprintf("FW: V%i.%02i", firmwareVersion / 100, firmwareVersion % 100));
    progress.begin(firmware.blockTotal());
    if (!writer.start(modem.device(), firmware.image(), firmware.imageLength())) {
        console.error(writer.errorString());
        finish(ExitCode::WriteFailed);
        return;
    }
    console.line(QStringLiteral("Flash schreiben starten, bitte warten!"));
}

void FlashCommand::onNotFound()
{
    const QString where = options.port.isEmpty()
            ? QStringLiteral("COM1 bis COM%1 (siehe --list)").arg(PortNames::ComCount)
            : withDevicePath(options.port);
    console.error(QStringLiteral("Keine HW gefunden an %1").arg(where));
    finish(ExitCode::NoInstrument);
}

void FlashCommand::onWriteFinished(bool written)
{
    if (!written) {
        console.error(writer.errorString());
        finish(ExitCode::WriteFailed);
        return;
    }
    progress.end(writer.replyCount());
    waitUntilSent();
    console.line(QStringLiteral("Flash neu beschrieben!"));
    finish(ExitCode::Success);
}

QString FlashCommand::withDevicePath(const QString &name) const
{
    const QString path = PortNames::devicePath(name);
    if (path.isEmpty() || path == name)
        return name;
    return QStringLiteral("%1 (%2)").arg(name, path);
}

void FlashCommand::waitUntilSent()
{
    // The last block and the end marker may still sit in the driver. The
    // close puts the port's earlier settings back at once, another baud
    // rate perhaps, which would garble them; and "written" must mean sent.
    QSerialPort *port = modem.device();
    if (!port)
        return;
    port->flush();
#ifdef Q_OS_UNIX
    QDeadlineTimer deadline(SendDrainTimeout);
    int unsent = 0;
    while (::ioctl(int(port->handle()), TIOCOUTQ, &unsent) == 0 && unsent > 0 && !deadline.hasExpired())
        QThread::msleep(1);
#endif
}

void FlashCommand::finish(int exitCode)
{
    modem.closePort();
    emit finished(exitCode);
}
