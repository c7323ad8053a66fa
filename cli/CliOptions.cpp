#include "cli/CliOptions.h"

#include "device/FlashWriter.h"
#include "serial/Modem.h"
#include "serial/PortNames.h"

#include <QHash>

namespace {

const char Help[] = QT_TRANSLATE_NOOP("CliOptions",
    "Aufruf: zirbelwerk-flash [--port NAME]... [--baud RATE] [--all|--watch] DATEI.hex\n"
    "        zirbelwerk-flash --info [--port NAME]... [--all]\n"
    "        zirbelwerk-flash --check DATEI.hex [--image-out DATEI.bin]\n"
    "        zirbelwerk-flash --list\n"
    "\n"
    "Schreibt eine Firmware (Intel HEX) in den Flash der HW: Datei pruefen,\n"
    "HW an COM1 bis COM50 suchen (ein Durchgang), Flash beschreiben.\n"
    "\n"
    "  -p, --port NAME        keine Suche, nur dieser Port (COMn oder Geraetepfad);\n"
    "                         mehrmals: alle diese Ports zugleich\n"
    "  -b, --baud RATE        9600, 57600 (Standard) oder 115200\n"
    "  --all                  jede HW an COM1 bis COM50, alle zugleich\n"
    "  --watch                laeuft weiter und schreibt jede neu angeschlossene HW einmal\n"
    "                         (Ports von --port, ZIRBELWERK_PORTS oder USB-Adapter)\n"
    "  --rearm-after SEK      mit --watch: so lange stumm = neue HW (Standard 3)\n"
    "  --info                 nur HW suchen und Port, Geraet und Version zeigen\n"
    "  --json                 auf stdout nur JSON-Zeilen (check, found, progress,\n"
    "                         outcome, summary)\n"
    "  --record DATEI         Protokoll hierhin statt ins gemeinsame\n"
    "  --check                nur die Datei pruefen, keine HW\n"
    "  --image-out DATEI.bin  mit --check: das Abbild (65000 Byte) binaer schreiben\n"
    "  --list                 zeigt, welches Geraet hinter COM1 bis COM50 steht\n"
    "  -h, --help             diese Hilfe\n"
    "  --version              Versionsnummer zeigen\n"
    "\n"
    "Rueckgabewert:\n"
    "  0  Flash geschrieben (mit --check: Datei geeignet; --info: HW gefunden)\n"
    "  1  Aufruf falsch, oder --image-out nicht schreibbar\n"
    "  2  HEX-Datei nicht geeignet\n"
    "  3  keine HW gefunden\n"
    "  4  Flash schreiben fehlgeschlagen (--all, --watch: bei mindestens einer HW)\n"
    "  5  durch ein Signal beendet, bevor alles geschrieben war\n"
    "     (--watch: 0, wenn gerade nichts geschrieben wurde)\n"
    "\n"
    "Ctrl-C, SIGTERM oder SIGHUP waehrend des Schreibens: es geht zu Ende;\n"
    "ein zweites Ctrl-C oder SIGTERM bricht ab (die HW bleibt halb beschrieben).\n"
    "\n"
    "Die HW hat bis 15 s fuer die erste Antwort (sie loescht ihren Flash) und\n"
    "bis 3 s fuer jede weitere; schweigt sie laenger, endet das Schreiben (4).\n"
    "\n"
    "ZIRBELWERK_PORTS=/dev/a:/dev/b:... legt fest, welches Geraet COM1, COM2, ... ist.");

// The help text names the limits in words.
static_assert(FlashWriter::FirstReplyTimeout == std::chrono::seconds(15));
static_assert(FlashWriter::BlockReplyTimeout == std::chrono::seconds(3));

} // namespace

CliOptions CliOptions::parse(const QStringList &arguments)
{
    CliOptions options;
    for (int i = 1; i < arguments.size(); ++i) {
        if (!options.take(arguments, &i))
            return options;
    }
    options.decideMode();
    return options;
}

QString CliOptions::helpText()
{
    return tr(Help);
}

bool CliOptions::take(const QStringList &arguments, int *index)
{
    const QString argument = arguments.at(*index);
    if (argument == QLatin1String("--")) {
        files << arguments.mid(*index + 1);
        *index = int(arguments.size());
        return true;
    }
    if (!argument.startsWith(QLatin1Char('-')) || argument == QLatin1String("-")) {
        files << argument;
        return true;
    }
    const qsizetype equals = argument.indexOf(QLatin1Char('='));
    const QString name = argument.left(equals);
    const QString inlineValue = equals < 0 ? QString() : argument.mid(equals + 1);
    QString value;
    if (equals < 0 && takeFlag(name))
        return true;
    if (name == QLatin1String("--check")) {
        check = true;
        if (equals >= 0)
            files << inlineValue;
    } else if (name == QLatin1String("--image-out"))
        return takeValue(name, inlineValue, arguments, index, &imageOut);
    else if (name == QLatin1String("--port") || name == QLatin1String("-p"))
        return takeValue(name, inlineValue, arguments, index, &value) && setPort(value);
    else if (name == QLatin1String("--baud") || name == QLatin1String("-b"))
        return takeValue(name, inlineValue, arguments, index, &value) && setBaud(value);
    else if (name == QLatin1String("--record"))
        return takeValue(name, inlineValue, arguments, index, &record);
    else if (name == QLatin1String("--rearm-after"))
        return takeValue(name, inlineValue, arguments, index, &value) && setRearm(value);
    else
        return fail(tr("unbekannte Option %1").arg(argument));
    return true;
}

bool CliOptions::takeFlag(const QString &name)
{
    const QHash<QString, bool *> flags {
        {QStringLiteral("-h"), &help},       {QStringLiteral("--help"), &help},
        {QStringLiteral("--version"), &version}, {QStringLiteral("--list"), &list},
        {QStringLiteral("--all"), &all},     {QStringLiteral("--watch"), &watch},
        {QStringLiteral("--info"), &info},   {QStringLiteral("--json"), &json},
    };
    bool *flag = flags.value(name);
    if (flag)
        *flag = true;
    return flag != nullptr;
}

bool CliOptions::takeValue(const QString &name, const QString &inlineValue, const QStringList &arguments,
                           int *index, QString *value)
{
    const bool inlined = arguments.at(*index).contains(QLatin1Char('='));
    if (!inlined && *index + 1 >= arguments.size())
        return fail(tr("%1 braucht einen Wert").arg(name));
    *value = inlined ? inlineValue : arguments.at(++*index);
    if (value->isEmpty())
        return fail(tr("%1 braucht einen Wert").arg(name));
    return true;
}

bool CliOptions::setBaud(const QString &text)
{
    bool number = false;
    const int rate = text.toInt(&number);
    if (!number || !Modem::isBaudRate(rate))
        return fail(tr("--baud %1 geht nicht: nur 9600, 57600 oder 115200").arg(text));
    baudRate = rate;
    return true;
}

bool CliOptions::setPort(const QString &text)
{
    const int number = PortNames::comNumber(text);
    if ((number < 1 || number > PortNames::ComCount) && !text.startsWith(QLatin1Char('/')))
        return fail(tr("--port %1 geht nicht: COM1 bis COM%2 oder ein Geraetepfad wie /dev/ttyUSB0")
                            .arg(text).arg(PortNames::ComCount));
    if (!ports.contains(text))
        ports << text;
    port = ports.size() == 1 ? text : QString();
    return true;
}

bool CliOptions::setRearm(const QString &text)
{
    bool number = false;
    rearmAfterSeconds = text.toInt(&number);
    rearmGiven = true;
    if (!number || rearmAfterSeconds < 1 || rearmAfterSeconds > 3600)
        return fail(tr("--rearm-after %1 geht nicht: Sekunden von 1 bis 3600").arg(text));
    return true;
}

// Options that only make sense together, or not at all.
bool CliOptions::checkCombination()
{
    const bool forFlash = !ports.isEmpty() || baudRate != 0 || all || watch;
    if (list && (check || info || forFlash || json || !imageOut.isEmpty() || !files.isEmpty()))
        return fail(tr("--list steht allein"));
    if (all && !ports.isEmpty())
        return fail(tr("--all oder --port, nicht beides"));
    if (watch && (all || info))
        return fail(tr("--watch passt nicht zu --all oder --info"));
    if (rearmGiven && !watch)
        return fail(tr("--rearm-after nur zusammen mit --watch"));
    if (check) {
        const QString given = firstGiven({{!ports.isEmpty(), "--port"}, {baudRate != 0, "--baud"}, {all, "--all"},
                                          {watch, "--watch"}, {info, "--info"}, {json, "--json"},
                                          {!record.isEmpty(), "--record"}});
        if (!given.isEmpty())
            return fail(tr("--check beruehrt keine HW; %1 passt nicht dazu").arg(given));
    }
    if (info && !files.isEmpty())
        return fail(tr("--info schreibt nichts: keine HEX-Datei angeben"));
    return true;
}

QString CliOptions::firstGiven(std::initializer_list<std::pair<bool, const char *>> options)
{
    for (const auto &[given, name] : options)
        if (given)
            return QString::fromLatin1(name);
    return {};
}

void CliOptions::decideMode()
{
    if (help) {
        mode = Mode::Help;
        return;
    }
    if (version) {
        mode = Mode::Version;
        return;
    }
    if (!checkCombination())
        return;
    if (list) {
        mode = Mode::List;
        return;
    }
    if (info) {
        mode = Mode::Info;
        return;
    }
    if (files.isEmpty())
        fail(tr("keine HEX-Datei angegeben"));
    else if (files.size() > 1)
        fail(tr("nur eine HEX-Datei angeben, nicht %1").arg(files.size()));
    else if (!check && !imageOut.isEmpty())
        fail(tr("--image-out nur zusammen mit --check"));
    else {
        file = files.first();
        mode = check ? Mode::Check : Mode::Flash;
    }
}

bool CliOptions::fail(const QString &text)
{
    mode = Mode::Invalid;
    error = text;
    return false;
}
