#include "sim/SimOptions.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QRegularExpression>

#include <chrono>

namespace {

// "ZW", tag "KB", version 1.23, carriage return.
const QByteArray DefaultReplyHex = QByteArrayLiteral("5A574B423132330D");

const char Description[] =
    "Simulated instrument on a pseudo-terminal. Prints the device path as\n"
    "the first line of its output, then answers the version query \"@v;\" and\n"
    "takes the flash write \"@g#####;\": a ready byte 0x6B after the erase and\n"
    "after each block, then two address bytes and 64 data bytes per block,\n"
    "and 0xFF 0xFF as the end marker.\n"
    "\n"
    "The report file holds writes=, blocks=, end_marker=, queries=,\n"
    "violations= and one violation= line for each breach of the dialogue. It\n"
    "is rewritten as things happen, after each write, at a hang-up and at\n"
    "SIGTERM/SIGINT. The memory file (65536 bytes, 0xFF where nothing came)\n"
    "is written after each write and when the simulator stops during one.\n"
    "Blocks are counted from 1; ready byte N releases block N.\n"
    "\n"
    "With --turnaround the report also holds turnarounds= (the count),\n"
    "turnaround_mean_us=, turnaround_median_us=, turnaround_p90_us= and\n"
    "turnaround_max_us= of the last write, once it has ended: per block, the\n"
    "time from its ready byte handed to the pseudo-terminal until the first\n"
    "byte of the block came out of it.";

struct Option
{
    const char *name;
    const char *help;
    const char *valueName; // nullptr: a switch
};

const Option Options[] = {
    {"link", "Also create a symbolic link <path> to the device (removed at exit).", "path"},
    {"reply-hex", "Reply to \"@v;\", in hex, any length (default 5A574B423132330D).", "hex"},
    {"no-answer", "Do not answer \"@v;\".", nullptr},
    {"erase-ms", "Erase time before the first ready byte (default 50).", "ms"},
    {"block-ms", "Flash write time of a block before its ready byte (default 0).", "ms"},
    {"baud", "Pace both directions like a UART at <rate>, 10 bits a byte; 0 = unpaced (default).",
     "rate"},
    {"noise", "Send <n> noise bytes (never 0x6B) before each ready byte.", "n"},
    {"noise-block", "Noise only before the ready byte of block <k> (--noise defaults to 1).", "k"},
    {"ack-early", "Send the first ready byte at once on the start command, no erase time.",
     nullptr},
    {"silent-at", "Never send the ready byte of block <n>; stay alive otherwise.", "n"},
    {"hangup-at", "When the ready byte of block <n> is due, close the line, write the report and "
                  "exit 0.",
     "n"},
    {"memory-out", "Write the 64 KiB memory to <file> after each write.", "file"},
    {"report", "Write the report to <file>.", "file"},
    {"turnaround", "Add the host's turnaround per block to the report.", nullptr},
};

void addOptions(QCommandLineParser &parser)
{
    for (const Option &option : Options) {
        QCommandLineOption entry(QString::fromLatin1(option.name), QString::fromLatin1(option.help));
        if (option.valueName != nullptr)
            entry.setValueName(QString::fromLatin1(option.valueName));
        parser.addOption(entry);
    }
}

bool readCount(const QCommandLineParser &parser, const char *name, int *value, QString *error)
{
    const QString key = QString::fromLatin1(name);
    if (!parser.isSet(key))
        return true;
    bool ok = false;
    const int number = parser.value(key).toInt(&ok);
    if (!ok || number < 0) {
        *error = QStringLiteral("--%1 needs a whole number of 0 or more").arg(key);
        return false;
    }
    *value = number;
    return true;
}

bool readMilliseconds(const QCommandLineParser &parser, const char *name,
                      std::chrono::milliseconds *value, QString *error)
{
    int count = int(value->count());
    if (!readCount(parser, name, &count, error))
        return false;
    *value = std::chrono::milliseconds(count);
    return true;
}

bool readReply(const QCommandLineParser &parser, QByteArray *reply, QString *error)
{
    QString hex = QString::fromLatin1(DefaultReplyHex);
    if (parser.isSet(QStringLiteral("reply-hex")))
        hex = parser.value(QStringLiteral("reply-hex")).remove(QLatin1Char(' '));
    static const QRegularExpression HexBytes(QStringLiteral("^([0-9A-Fa-f]{2})*$"));
    if (!HexBytes.match(hex).hasMatch()) {
        *error = QStringLiteral("--reply-hex needs pairs of hex digits");
        return false;
    }
    *reply = QByteArray::fromHex(hex.toLatin1());
    return true;
}

bool readInstrument(const QCommandLineParser &parser, InstrumentSettings *settings, QString *error)
{
    settings->answerQueries = !parser.isSet(QStringLiteral("no-answer"));
    settings->readyAtStart = parser.isSet(QStringLiteral("ack-early"));
    settings->recordTurnaround = parser.isSet(QStringLiteral("turnaround"));
    if (parser.isSet(QStringLiteral("noise-block")))
        settings->noiseCount = 1;
    return readReply(parser, &settings->versionReply, error)
        && readMilliseconds(parser, "erase-ms", &settings->eraseTime, error)
        && readMilliseconds(parser, "block-ms", &settings->blockWriteTime, error)
        && readCount(parser, "noise", &settings->noiseCount, error)
        && readCount(parser, "noise-block", &settings->noiseBlock, error)
        && readCount(parser, "silent-at", &settings->silentAtBlock, error)
        && readCount(parser, "hangup-at", &settings->hangupAtBlock, error);
}

} // namespace

bool parseSimOptions(const QStringList &arguments, SimOptions *options, QString *error)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(Description));
    parser.addHelpOption();
    parser.addVersionOption();
    addOptions(parser);
    if (!parser.parse(arguments)) {
        *error = parser.errorText();
        return false;
    }
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();
    if (!parser.positionalArguments().isEmpty()) {
        *error = QStringLiteral("unexpected argument %1").arg(parser.positionalArguments().first());
        return false;
    }
    options->linkPath = parser.value(QStringLiteral("link"));
    options->memoryPath = parser.value(QStringLiteral("memory-out"));
    options->reportPath = parser.value(QStringLiteral("report"));
    return readInstrument(parser, &options->instrument, error)
        && readCount(parser, "baud", &options->baud, error);
}
