#pragma once

#include <QCoreApplication>
#include <QString>

// Why a port did not open, in the user's language, together with what to
// do about it: one line per port and fault, the same in the window and the
// flasher.
class PortFault
{
    Q_DECLARE_TR_FUNCTIONS(PortFault)

public:
    enum class Kind { None, NoSuchName, Missing, NoAccess, Held, NotSerial, SameDevice, Other };

    PortFault() = default;
    // name as the user knows it (COMn or a path), path the device behind it.
    static PortFault unknownName(const QString &name);
    static PortFault missing(const QString &name, const QString &path);
    // holder as the system names it, e.g. "zirbelwerk-flash (PID 4711)"; empty
    // where it cannot be told.
    static PortFault held(const QString &name, const QString &path, const QString &holder = {});
    // Held back by something another user left in the way; reason says what.
    static PortFault blocked(const QString &name, const QString &path, const QString &reason);
    // Not opened: it is the device firstName already reached.
    static PortFault sameDevice(const QString &name, const QString &path, const QString &firstName);
    static PortFault noAccess(const QString &name, const QString &path);
    static PortFault notSerial(const QString &name, const QString &path);
    // reason: the system's own words.
    static PortFault other(const QString &name, const QString &path, const QString &reason);

    Kind kind() const { return faultKind; }
    QString text() const { return line; }
    // Without the port, short enough for a tile: "von einem anderen
    // Programm benutzt", "dasselbe Geraet wie COM3".
    QString brief() const { return shortLine; }
    // Untranslated, for scripts: "missing", "busy", "no_access", "not_serial",
    // "same_device", "other"; empty for no fault.
    QString code() const;
    // Worth telling even while a search walks over ports that may be absent.
    bool isActionable() const { return faultKind == Kind::NoAccess || faultKind == Kind::Held; }

private:
    PortFault(Kind kind, const QString &text, const QString &brief)
        : faultKind(kind), line(text), shortLine(brief) {}

    Kind faultKind = Kind::None;
    QString line;
    QString shortLine;
};
