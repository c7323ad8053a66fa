#pragma once

#include <QString>
#include <QStringList>

// The flasher's command line: what to do and with which file and port.
class CliOptions
{
public:
    enum class Mode { Invalid, Help, Version, List, Check, Flash };

    static CliOptions parse(const QStringList &arguments);
    static QString helpText();

    Mode mode = Mode::Invalid;
    QString error;     // why the call is Invalid, German
    QString file;      // the HEX file for Check and Flash
    QString imageOut;  // Check only: where the binary image goes
    QString port;      // Flash only: no search, this port; empty = search
    int baudRate = 0;  // Flash only; 0 = the Modem's default

private:
    bool take(const QStringList &arguments, int *index);
    bool takeValue(const QString &name, const QString &inlineValue, const QStringList &arguments,
                   int *index, QString *value);
    bool setBaud(const QString &text);
    bool setPort(const QString &text);
    void decideMode();
    bool fail(const QString &text);

    bool help = false;
    bool version = false;
    bool list = false;
    bool check = false;
    QStringList files;
};
