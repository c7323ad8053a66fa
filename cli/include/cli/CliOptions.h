#pragma once

#include "report/ReportPeriod.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <chrono>
#include <initializer_list>
#include <utility>

class QCommandLineParser;

// The flasher's command line: what to do and with which file and port.
class CliOptions
{
    Q_DECLARE_TR_FUNCTIONS(CliOptions)

public:
    enum class Mode { Invalid, Help, Version, List, Check, Flash, Info, Report };

    static constexpr std::chrono::seconds RearmAfterDefault {3};
    static constexpr std::chrono::seconds RearmAfterShortest {1};
    static constexpr std::chrono::seconds RearmAfterLongest {3600};

    static CliOptions parse(const QStringList &arguments);
    static QString helpText();
    // Every option the parser takes: "--name", and "-x --name" for a short form.
    static QStringList optionNames();

    Mode mode = Mode::Invalid;
    QString error;     // why the call is Invalid, in the user's language
    QString file;      // the HEX file for Check and Flash
    QString imageOut;  // Check only: where the binary image goes
    QString port;      // Flash only: no search, this port; empty = search
    QStringList ports; // every --port given; more than one: all of them
    int baudRate = 0;  // Flash only; 0 = the Modem's default
    bool all = false;   // every instrument on COM1 to COM50
    bool watch = false; // keep writing instruments as they come
    bool json = false;  // stdout carries JSON lines only
    QString record;     // the record file; empty = the shared one
    QStringList records; // Report: the records to read; none = the user's
    QString reportOut;   // Report: where the page goes; empty = beside the record
    ReportPeriod period; // Report: --since and --until
    int rearmAfterSeconds = int(RearmAfterDefault.count());

    // Several instruments at once (--all, several --port, --watch).
    bool isMulti() const { return all || watch || ports.size() > 1; }

private:
    bool read(const QCommandLineParser &parser);
    bool readValues(const QCommandLineParser &parser);
    bool setBaud(const QString &text);
    bool setPort(const QString &text);
    bool setRearm(const QString &text);
    bool setEdge(const QString &text, ReportPeriod::Edge edge);
    bool checkReport();
    bool checkCombination();
    static QString firstGiven(std::initializer_list<std::pair<bool, const char *>> options);
    static QString baudRates(bool markDefault);
    void decideMode();
    bool fail(const QString &text);
    // What the system's help says of ports and stopping: Windows has no
    // device paths, signals or ZIRBELWERK_PORTS, and stop keys of its own.
    struct SystemHelp
    {
        QString port, watched, stops, portVariable;
    };
    static SystemHelp systemHelp();
    // Why text names no port here; empty if it does.
    static QString portRefusal(const QString &text);

    bool help = false;
    bool version = false;
    bool list = false;
    bool check = false;
    bool info = false;
    bool report = false;
    bool rearmGiven = false;
    QStringList files;
};
