#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QJsonObject>
#include <QString>

class Console;
class FlashRecord;

// Where the flasher's news goes: lines for people on stdout, or, with
// --json, JSON lines for scripts on stdout and the lines for people on
// stderr. Progress lines are kept to ten a second per instrument.
class Reporter
{
public:
    Reporter(Console &console, bool json);

    bool isJson() const { return json; }
    Console &console() const { return out; }
    // A line for people.
    void say(const QString &text);
    void warn(const QString &text);
    // One JSON line of the given type; nothing without --json.
    void emitJson(const QString &type, QJsonObject fields);
    void progress(const QString &port, int blocksSent, int blockTotal, bool last = false);
    void found(const QString &port, const QString &device, int firmwareVersion);
    void summary(int written, int failed, int exitCode);
    // A record line that could not be written is told; the write stands.
    void warnWhenNotRecorded(FlashRecord &record);

private:
    Console &out;
    bool json;
    QHash<QString, QElapsedTimer> lastProgress;
};
