#pragma once

#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <initializer_list>
#include <utility>

// The flasher's command line: what to do and with which file and port.
class CliOptions
{
    Q_DECLARE_TR_FUNCTIONS(CliOptions)

public:
    enum class Mode { Invalid, Help, Version, List, Check, Flash, Info };

    static CliOptions parse(const QStringList &arguments);
    static QString helpText();

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
    int rearmAfterSeconds = 3;

    // Several instruments at once (--all, several --port, --watch).
    bool isMulti() const { return all || watch || ports.size() > 1; }

private:
    bool take(const QStringList &arguments, int *index);
    bool takeValue(const QString &name, const QString &inlineValue, const QStringList &arguments,
                   int *index, QString *value);
    bool setBaud(const QString &text);
    bool setPort(const QString &text);
    bool setRearm(const QString &text);
    bool takeFlag(const QString &name);
    bool checkCombination();
    static QString firstGiven(std::initializer_list<std::pair<bool, const char *>> options);
    void decideMode();
    bool fail(const QString &text);

    bool help = false;
    bool version = false;
    bool list = false;
    bool check = false;
    bool info = false;
    bool rearmGiven = false;
    QStringList files;
};
