#include "cli/CliOptions.h"
#include "cli/Console.h"
#include "cli/ExitCode.h"
#include "cli/FirmwareCheck.h"
#include "cli/FlashCommand.h"
#include "cli/MultiFlash.h"
#include "cli/PortListing.h"
#include "cli/Reporter.h"
#include "i18n/Translation.h"
#include "report/FlashReport.h"
#include "serial/PortNames.h"
#include "stop/StopSignals.h"
#include "userfile/UserFile.h"

#include "zwversion.h"

#include <QCoreApplication>

namespace {

int check(const CliOptions &options, Console &console)
{
    // A pipe is waited for; a signal meanwhile ends the check with 5.
    StopSignals stopSignals;
    Reporter reporter(console, false);
    FirmwareCheck firmware(reporter);
    if (!firmware.load(options.file))
        return ExitCode::ofRefusedFile(firmware.loader());
    if (!options.imageOut.isEmpty() && !firmware.writeBinary(options.imageOut))
        return ExitCode::Usage;
    return ExitCode::Success;
}

int report(const CliOptions &options, Console &console)
{
    const FlashReport::Result result = FlashReport::run({options.records, options.reportOut, options.period});
    for (const QString &warning : result.warnings)
        console.error(warning);
    switch (result.status) {
    case FlashReport::Status::Written:
        console.line(result.page);
        return ExitCode::Success;
    case FlashReport::Status::PageUnwritable:
        console.error(result.error);
        return ExitCode::Usage;
    case FlashReport::Status::NoRecord:
        break;
    }
    console.error(result.error);
    return ExitCode::FileRefused;
}

void warnUnsearched(Console &console)
{
    const QString warning = PortNames::unsearchedWarning();
    if (!warning.isEmpty())
        console.error(warning);
}

template <typename Command>
int run(const CliOptions &options, Console &console)
{
    Command command(options, console);
    // Queued, so an outcome reported before exec() still ends the loop.
    QObject::connect(&command, &Command::finished, qApp, &QCoreApplication::exit, Qt::QueuedConnection);
    command.start();
    return QCoreApplication::exec();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    // German Qt for the option parser's own messages.
    if (!Translation::install(application))
        Translation::installQtGerman(application);
    Console console;
    // Such a name would reach another file than the one meant.
    const QString undecodable = UserFile::undecodableArgument(argc, argv);
    if (!undecodable.isEmpty()) {
        console.error(CliOptions::tr("zirbelwerk-flash: %1 (Hilfe: zirbelwerk-flash --help)")
                              .arg(UserFile::undecodableText(undecodable)));
        return ExitCode::Usage;
    }
    const CliOptions options = CliOptions::parse(QCoreApplication::arguments());
    switch (options.mode) {
    case CliOptions::Mode::Invalid:
        console.error(CliOptions::tr("zirbelwerk-flash: %1 (Hilfe: zirbelwerk-flash --help)").arg(options.error));
        return ExitCode::Usage;
    case CliOptions::Mode::Help:
        console.line(CliOptions::helpText());
        return ExitCode::Success;
    case CliOptions::Mode::Version:
        console.line(QStringLiteral("zirbelwerk-flash " ZW_VERSION));
        return ExitCode::Success;
    case CliOptions::Mode::List:
        warnUnsearched(console);
        return PortListing::print(console);
    case CliOptions::Mode::Check:
        return check(options, console);
    case CliOptions::Mode::Report:
        return report(options, console);
    case CliOptions::Mode::Flash:
    case CliOptions::Mode::Info:
        break;
    }
    warnUnsearched(console);
    if (options.mode == CliOptions::Mode::Info || options.isMulti())
        return run<MultiFlash>(options, console);
    return run<FlashCommand>(options, console);
}
