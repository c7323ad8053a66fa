// KeyValueFile on arbitrary file content, then a fuzz-chosen run of
// getters, setters, removeLine and save: it agrees with a plain model of
// its documented behaviour, saves exactly the sorted lines, and after a
// save and a fresh load every key that was set reads back what was set,
// unless a later call removed its line or an earlier-sorted line begins
// with the same key and "=" (also one that sorts earlier once read back).
#include "FuzzCheck.h"
#include "FuzzInput.h"
#include "KeyValueModel.h"
#include "kvfile/KeyValueFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>

#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include <signal.h>

namespace {

const QString Default = QStringLiteral("\u0001default");

// On a RAM disk where there is one: every input writes and replaces files.
QString temporaryBase()
{
    return QFileInfo(QStringLiteral("/dev/shm")).isWritable() ? QStringLiteral("/dev/shm") : QDir::tempPath();
}

// A finding ends the process without cleaning up, so each process names
// its directory by its id and removes those of processes that are gone.
QString filePath()
{
    static const QString path = [] {
        QDir base(temporaryBase());
        const QString prefix = QStringLiteral("zw-fuzz-kv-");
        for (const QString &name : base.entryList({prefix + u'*'}, QDir::Dirs)) {
            const qint64 pid = name.mid(prefix.size()).toLongLong();
            if (pid > 0 && ::kill(pid_t(pid), 0) != 0 && errno == ESRCH)
                QDir(base.filePath(name)).removeRecursively();
        }
        const QString name = prefix + QString::number(QCoreApplication::applicationPid());
        fuzzCheck(base.mkpath(name), "no temporary directory");
        return base.filePath(name) + QStringLiteral("/values.kv");
    }();
    return path;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    fuzzCheck(file.open(QIODevice::ReadOnly), "saved file cannot be read");
    return file.readAll();
}

void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    fuzzCheck(file.open(QIODevice::WriteOnly | QIODevice::Truncate), "input file cannot be written");
    fuzzCheck(file.write(content) == content.size(), "input file cannot be written");
}

bool sameDouble(double a, double b)
{
    return a == b || (std::isnan(a) && std::isnan(b));
}

// Within the digits the setter writes. A value whose rounded text lies
// beyond the largest double reads back as infinity; that is left out.
bool readsBackAs(double got, double set, const QString &text, double relative)
{
    if (std::isnan(set) || std::isinf(set))
        return sameDouble(got, set);
    if (std::isinf(text.toDouble()))
        return true;
    return std::fabs(got - set) <= std::max(std::fabs(set) * relative, DBL_TRUE_MIN);
}

class Session
{
public:
    explicit Session(FuzzInput &in) : in(in), path(filePath()) {}

    void run();

private:
    enum Setter { String, Int, Long, LongLong, Bool, Double, DoubleExp, SetterCount };

    QString pickText();
    void play(quint8 op);
    void set(Setter setter);
    void compareLookup(const QString &key) const;
    void save();
    void reload();

    FuzzInput &in;
    const QString path;
    KeyValueFile file;
    KeyValueModel model;
    QStringList seen;
    QMap<QString, QString> lastSet;
    QByteArray onDisk;
    bool modified = false;
};

void Session::run()
{
    const QByteArray content = in.bytes(in.word());
    writeFile(path, content);
    fuzzCheck(file.load(path), "existing file does not load");
    model.load(content);
    onDisk = content;
    while (!in.atEnd())
        play(in.byte());
    save();
    reload();
}

// Short texts, often one seen before, so that keys meet.
QString Session::pickText()
{
    const quint8 choice = in.byte();
    if (choice >= 0xC0 && !seen.isEmpty())
        return seen.at(choice % seen.size());
    // Now and then raw code units: a caller's text need not be valid UTF-16.
    const bool raw = choice >= 0xB4 && choice < 0xC0;
    const QString text = raw ? in.utf16(choice % 12) : in.utf8(choice % 12);
    seen.append(text);
    return text;
}

void Session::play(quint8 op)
{
    const int kind = op % 10;
    if (kind < SetterCount) {
        set(Setter(kind));
    } else if (kind == 7) {
        const QString text = pickText();
        fuzzCheck(file.removeLine(text) == model.remove(text), "removeLine differs from the model");
        modified = true; // even when nothing was removed
    } else if (kind == 8) {
        compareLookup(pickText());
    } else {
        save();
    }
}

void Session::set(Setter setter)
{
    const QString key = pickText();
    bool taken = false;
    QString text;
    qint64 integer = 0;
    double real = 0;
    switch (setter) {
    case String:
        text = pickText();
        taken = file.setString(key, text);
        break;
    case Int:
    case Long:
        integer = qint32(in.u32());
        text = QString::number(integer);
        taken = setter == Int ? file.setInt(key, int(integer)) : file.setLong(key, qint32(integer));
        break;
    case LongLong:
        integer = qint64(in.u64());
        text = QString::number(integer);
        taken = file.setLongLong(key, integer);
        break;
    case Bool:
        integer = in.byte() & 1;
        text = integer ? QStringLiteral("1") : QStringLiteral("0");
        taken = file.setBool(key, integer != 0);
        break;
    case Double:
    case DoubleExp:
        real = in.real();
        text = setter == Double ? QString::number(real, 'g', 10) : QString::asprintf("%0.15E", real);
        taken = setter == Double ? file.setDouble(key, real) : file.setDoubleExp(key, real);
        break;
    case SetterCount:
        return;
    }
    fuzzCheck(taken == model.set(key, text), "setter took or refused unlike the model");
    if (!taken)
        return;
    modified = true;
    lastSet.insert(key, text);
    if (!model.finds(key, text))
        return;
    fuzzCheck(file.getString(key, Default) == KeyValueModel::wellFormed(text), "value text not as set");
    if (setter == Int || setter == Long)
        fuzzCheck(file.getInt(key, 7) == integer && file.getLong(key, 7) == integer, "integer not read back");
    else if (setter == LongLong)
        fuzzCheck(file.getLongLong(key, 7) == integer, "64-bit integer not read back");
    else if (setter == Bool)
        fuzzCheck(file.getBool(key, !integer) == (integer != 0), "bool not read back");
    else if (setter == Double)
        fuzzCheck(readsBackAs(file.getDouble(key, 7), real, text, 1e-9), "double not read back to 10 digits");
    else if (setter == DoubleExp)
        fuzzCheck(readsBackAs(file.getDouble(key, 7), real, text, 1e-15), "double not read back to 16 digits");
}

void Session::compareLookup(const QString &key) const
{
    const auto value = model.value(key);
    fuzzCheck(file.getString(key, Default) == value.value_or(Default), "getString differs from the model");
    fuzzCheck(file.getLongLong(key, -7) == (value ? value->toLongLong(nullptr, 10) : -7),
              "getLongLong differs from the model");
    fuzzCheck(file.getInt(key, -7) == (value ? value->toInt(nullptr, 10) : -7), "getInt differs from the model");
    fuzzCheck(file.getBool(key, true) == (value ? value->toInt(nullptr, 10) != 0 : true),
              "getBool differs from the model");
    fuzzCheck(sameDouble(file.getDouble(key, -7), value ? value->toDouble() : -7), "getDouble differs from the model");
}

// Without a change since the last save the file must stay untouched.
void Session::save()
{
    fuzzCheck(file.save(), "save failed");
    if (modified) {
        model.sort();
        onDisk = model.fileContent();
        modified = false;
    }
    fuzzCheck(readFile(path) == onDisk, "saved file is not the sorted lines");
}

// The saved bytes are checked against the model, so the reloaded model is
// what those bytes read back as. It differs from the saved list only where
// the format cannot hold a loaded line as it is (one that ends in CR loses
// it), which may change which line a lookup finds first.
void Session::reload()
{
    const QByteArray saved = readFile(path);
    KeyValueFile fresh;
    fuzzCheck(fresh.load(path), "saved file does not load");
    KeyValueModel reloaded;
    reloaded.load(saved);
    for (auto it = lastSet.cbegin(); it != lastSet.cend(); ++it) {
        const QString got = fresh.getString(it.key(), Default);
        fuzzCheck(got == reloaded.value(it.key()).value_or(Default), "reloaded value differs from the model");
        if (!model.finds(it.key(), it.value()))
            continue; // removed later, or behind an earlier-sorted line of the same key
        fuzzCheck(reloaded.holds(it.key() + u'=' + it.value()), "a set line does not survive save and load");
        if (reloaded.finds(it.key(), it.value()))
            fuzzCheck(got == KeyValueModel::wellFormed(it.value()), "a set key does not read back after save and load");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzInput in(data, size);
    Session(in).run();
    return 0;
}
