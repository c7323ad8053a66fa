#include "cli/CliOptions.h"

#include "device/FlashWriter.h"
#include "image/FirmwareImage.h"
#include "serial/Modem.h"
#include "serial/PortNames.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

#include <functional>

namespace {

// %1 the last COM number, %2 the baud rates, %3 the --rearm-after default,
// %4 the image's size, %5 and %6 the reply limits in seconds, %7 to %10 what
// the system says (HelpOnSystem).
const char Help[] = QT_TRANSLATE_NOOP("CliOptions",
    "Aufruf: zirbelwerk-flash [--port NAME]... [--baud RATE] [--all|--watch] DATEI.hex\n"
    "        zirbelwerk-flash --info [--port NAME]... [--all]\n"
    "        zirbelwerk-flash --check DATEI.hex [--image-out DATEI.bin]\n"
    "        zirbelwerk-flash --list\n"
    "        zirbelwerk-flash --report [--report-out DATEI.html] [--since DATUM] [--until DATUM]\n"
    "                         [PROTOKOLL]...\n"
    "\n"
    "Schreibt eine Firmware (Intel HEX) in den Flash der HW: Datei pruefen,\n"
    "HW an COM1 bis COM%1 suchen (ein Durchgang), Flash beschreiben.\n"
    "\n"
    "  -p, --port NAME        keine Suche, nur dieser Port (%7);\n"
    "                         mehrmals: alle diese Ports zugleich\n"
    "  -b, --baud RATE        %2\n"
    "  --all                  jede HW an COM1 bis COM%1, alle zugleich\n"
    "  --watch                laeuft weiter und schreibt jede neu angeschlossene HW einmal\n"
    "                         (%8)\n"
    "  --rearm-after SEK      mit --watch: so lange stumm = neue HW (Standard %3)\n"
    "  --info                 nur HW suchen und Port, Geraet und Version zeigen\n"
    "  --json                 auf stdout nur JSON-Zeilen (check, found, progress,\n"
    "                         outcome, summary)\n"
    "  --record DATEI         Protokoll hierhin statt ins gemeinsame\n"
    "  --check                nur die Datei pruefen, keine HW\n"
    "  --image-out DATEI.bin  mit --check: das Abbild (%4 Byte) binaer schreiben\n"
    "  --list                 zeigt, welches Geraet hinter COM1 bis COM%1 steht\n"
    "  --report               Bericht als HTML-Seite: Ausbeute, Fehlschlaege nach Grund\n"
    "                         und Block, Dauer; aus dem eigenen Protokoll oder den\n"
    "                         angegebenen (mehrere Stationen zusammen)\n"
    "  --report-out DATEI     mit --report: die Seite hierhin statt neben das Protokoll\n"
    "  --since DATUM          mit --report: ab diesem Tag (JJJJ-MM-TT, Ortszeit) oder\n"
    "                         Zeitpunkt (JJJJ-MM-TTThh:mm)\n"
    "  --until DATUM          mit --report: bis einschliesslich diesem Tag oder Zeitpunkt\n"
    "  -h, --help             diese Hilfe\n"
    "  --version              Versionsnummer zeigen\n"
    "\n"
    "Rueckgabewert:\n"
    "  0  Flash geschrieben (mit --check: Datei geeignet; --info: HW gefunden)\n"
    "  1  Aufruf falsch (auch ein Datum), oder --image-out oder --report-out\n"
    "     nicht schreibbar\n"
    "  2  HEX-Datei nicht geeignet (--report: kein Protokoll oder keine Zeile lesbar)\n"
    "  3  keine HW gefunden\n"
    "  4  Flash schreiben fehlgeschlagen (--all, --watch: bei mindestens einer HW)\n"
    "  5  durch ein Signal beendet, bevor alles geschrieben war\n"
    "     (--watch: 0, wenn gerade nichts geschrieben wurde)\n"
    "\n"
    "%9\n"
    "\n"
    "Die HW hat bis %5 s fuer die erste Antwort (sie loescht ihren Flash) und\n"
    "bis %6 s fuer jede weitere; schweigt sie laenger, endet das Schreiben (4).%10");

struct Option
{
    const char *shortName; // nullptr: none
    const char *longName;
    bool takesValue;
};

const Option Options[] = {
    {"p", "port", true},          {"b", "baud", true},
    {nullptr, "all", false},      {nullptr, "watch", false},
    {nullptr, "rearm-after", true}, {nullptr, "info", false},
    {nullptr, "json", false},     {nullptr, "record", true},
    {nullptr, "check", false},    {nullptr, "image-out", true},
    {nullptr, "list", false},     {"h", "help", false},
    {nullptr, "version", false},  {nullptr, "report", false},
    {nullptr, "report-out", true}, {nullptr, "since", true},
    {nullptr, "until", true},
};

QCommandLineOption parserOption(const Option &option)
{
    QStringList names {QString::fromLatin1(option.longName)};
    if (option.shortName != nullptr)
        names.prepend(QString::fromLatin1(option.shortName));
    // Only the parser sees the description and value name; the help is ours.
    return QCommandLineOption(names, QString(), option.takesValue ? QStringLiteral("value") : QString());
}

} // namespace

CliOptions CliOptions::parse(const QStringList &arguments)
{
    QCommandLineParser parser;
    for (const Option &option : Options)
        parser.addOption(parserOption(option));
    CliOptions options;
    if (!parser.parse(arguments))
        options.fail(parser.errorText());
    else if (options.read(parser))
        options.decideMode();
    return options;
}

QString CliOptions::helpText()
{
    const auto seconds = [](std::chrono::milliseconds time) {
        return QString::number(std::chrono::duration_cast<std::chrono::seconds>(time).count());
    };
    const SystemHelp system = systemHelp();
    return tr(Help).arg(QString::number(PortNames::ComCount), baudRates(true),
                        QString::number(RearmAfterDefault.count()), QString::number(FirmwareCellCount),
                        seconds(FlashWriter::FirstReplyTimeout), seconds(FlashWriter::BlockReplyTimeout),
                        system.port, system.watched, system.stops, system.portVariable);
}

QStringList CliOptions::optionNames()
{
    QStringList names;
    for (const Option &option : Options) {
        const QString longName = QLatin1String("--") + QLatin1String(option.longName);
        names << longName;
        if (option.shortName != nullptr)
            names << QLatin1Char('-') + QLatin1String(option.shortName) + QLatin1Char(' ') + longName;
    }
    return names;
}

// "9600, 57600 oder 115200", the default marked if asked.
QString CliOptions::baudRates(bool markDefault)
{
    QStringList rates;
    for (const int rate : Modem::BaudRates) {
        const bool marked = markDefault && rate == Modem::DefaultBaudRate;
        //: the default baud rate in a list
        rates << (marked ? tr("%1 (Standard)").arg(rate) : QString::number(rate));
    }
    const QString last = rates.takeLast();
    //: the last item of a list
    return tr("%1 oder %2").arg(rates.join(QLatin1String(", ")), last);
}

bool CliOptions::read(const QCommandLineParser &parser)
{
    const std::pair<const char *, bool CliOptions::*> flags[] = {
        {"help", &CliOptions::help}, {"version", &CliOptions::version}, {"list", &CliOptions::list},
        {"all", &CliOptions::all},   {"watch", &CliOptions::watch},     {"info", &CliOptions::info},
        {"json", &CliOptions::json}, {"check", &CliOptions::check},   {"report", &CliOptions::report},
    };
    for (const auto &[name, flag] : flags)
        this->*flag = parser.isSet(QString::fromLatin1(name));
    files = parser.positionalArguments();
    return readValues(parser);
}

// Each value in turn, so the first one that cannot be used is named.
bool CliOptions::readValues(const QCommandLineParser &parser)
{
    const std::pair<const char *, std::function<bool(const QString &)>> valued[] = {
        {"port", [this](const QString &text) { return setPort(text); }},
        {"baud", [this](const QString &text) { return setBaud(text); }},
        {"rearm-after", [this](const QString &text) { return setRearm(text); }},
        {"record", [this](const QString &text) { record = text; return true; }},
        {"image-out", [this](const QString &text) { imageOut = text; return true; }},
        {"report-out", [this](const QString &text) { reportOut = text; return true; }},
        {"since", [this](const QString &text) { return setEdge(text, ReportPeriod::Edge::Start); }},
        {"until", [this](const QString &text) { return setEdge(text, ReportPeriod::Edge::End); }},
    };
    for (const auto &[name, take] : valued) {
        for (const QString &value : parser.values(QString::fromLatin1(name))) {
            if (value.isEmpty())
                return fail(tr("%1 braucht einen Wert").arg(QLatin1String("--") + QLatin1String(name)));
            if (!take(value))
                return false;
        }
    }
    return true;
}

bool CliOptions::setBaud(const QString &text)
{
    bool isNumber = false;
    const int rate = text.toInt(&isNumber);
    if (!isNumber || !Modem::isBaudRate(rate))
        return fail(tr("--baud %1 geht nicht: nur %2").arg(text, baudRates(false)));
    baudRate = rate;
    return true;
}

bool CliOptions::setPort(const QString &text)
{
    if (const QString refusal = portRefusal(text); !refusal.isEmpty())
        return fail(refusal);
    if (!ports.contains(text))
        ports << text;
    port = ports.size() == 1 ? text : QString();
    return true;
}

bool CliOptions::setRearm(const QString &text)
{
    bool isNumber = false;
    rearmAfterSeconds = text.toInt(&isNumber);
    rearmGiven = true;
    const QString shortest = QString::number(RearmAfterShortest.count());
    const QString longest = QString::number(RearmAfterLongest.count());
    if (!isNumber || rearmAfterSeconds < RearmAfterShortest.count() || rearmAfterSeconds > RearmAfterLongest.count())
        return fail(tr("--rearm-after %1 geht nicht: Sekunden von %2 bis %3").arg(text, shortest, longest));
    return true;
}

bool CliOptions::setEdge(const QString &text, ReportPeriod::Edge edge)
{
    const bool start = edge == ReportPeriod::Edge::Start;
    const std::optional<qint64> at = ReportPeriod::edge(text, edge);
    if (!at)
        return fail(tr("%1 %2 geht nicht: ein Datum JJJJ-MM-TT oder Datum und Uhrzeit JJJJ-MM-TTThh:mm")
                            .arg(start ? QStringLiteral("--since") : QStringLiteral("--until"), text));
    (start ? period.startMs : period.endMs) = *at;
    if (period.hasStart() && period.hasEnd() && period.startMs >= period.endMs)
        return fail(tr("--since liegt nach --until: kein Zeitraum"));
    return true;
}

// The report reads records and touches no instrument.
bool CliOptions::checkReport()
{
    const QString given = firstGiven({{!ports.isEmpty(), "--port"}, {baudRate != 0, "--baud"}, {all, "--all"},
                                      {watch, "--watch"}, {info, "--info"}, {json, "--json"},
                                      {check, "--check"}, {list, "--list"}, {!imageOut.isEmpty(), "--image-out"}});
    if (!given.isEmpty())
        return fail(tr("--report beruehrt keine HW; %1 passt nicht dazu").arg(given));
    return true;
}

// Options that only make sense together, or not at all.
bool CliOptions::checkCombination()
{
    if (report)
        return checkReport();
    const QString forReport = firstGiven({{!reportOut.isEmpty(), "--report-out"}, {period.hasStart(), "--since"},
                                          {period.hasEnd(), "--until"}});
    if (!forReport.isEmpty())
        return fail(tr("%1 nur zusammen mit --report").arg(forReport));
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
    if (report) {
        // --record names a record as the arguments do.
        records = record.isEmpty() ? files : QStringList(record) + files;
        mode = Mode::Report;
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
