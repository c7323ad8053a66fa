# Sourced by fixture.sh, wine-run.sh, the Windows installer's tests and the
# Wine benchmark. A Wine prefix
# whose COM ports lead nowhere but where the caller links them: Wine links
# COM1 and on to the machine's serial ports (/dev/ttyS*, ttyUSB*, ttyACM*)
# whenever a session of the prefix starts. One session, kept for the whole
# run, has those links removed; a port without a link is missing, as on a PC.

# What the tests' fixtures made (fixture.sh), in the build's folder that
# ZW_WINE_DIR names: the prefix, the simulators' folder, the display.
zw_wine_env() {
    : "${ZW_WINE_DIR:?ZW_WINE_DIR names no folder: run the Windows tests through ctest}"
    export WINEPREFIX="$ZW_WINE_DIR/prefix" ZW_SIM_FOLDER="$ZW_WINE_DIR/sims" WINEARCH=win64 WINEDEBUG=-all
    # No desktop entries for the installer's Start-menu links.
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    if [ -s "$ZW_WINE_DIR/display" ]; then export DISPLAY=":$(cat "$ZW_WINE_DIR/display")"; fi
}

# The server of $WINEPREFIX, if it runs.
zw_wine_server_pid() {
    local pid
    for pid in $(pgrep -f '^/usr/lib/wine/wineserver' || true); do
        if tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX"; then
            echo "$pid"
            return 0
        fi
    done
    return 1
}

# A running session of the prefix with no link to a serial port of the machine.
zw_wine_session() {
    local wine=$1 wineserver=$2 link target
    if ! zw_wine_server_pid >/dev/null; then
        "$wineserver" -p >/dev/null 2>&1
        "$wine" cmd /c exit >/dev/null 2>&1
    fi
    for link in "$WINEPREFIX"/dosdevices/com*; do
        [ -L "$link" ] || continue
        target=$(readlink "$link")
        case "$target" in
            /dev/tty*) rm -f "$link" ;;
        esac
    done
}

# No debugger for a crash: Wine's own (winedbg --auto) ends the crashed
# program with status 0, so a crash after the last line of output passed.
# Without one the program ends with its exception's status, and Wine says
# "wine: Unhandled ..." on the standard error of the Linux process, which
# is the test's own also for programs the test starts.
zw_wine_no_debugger() {
    local wine=$1
    "$wine" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /d '' /f >/dev/null 2>&1
}

# The Windows the README names: Debian's Wine makes a prefix Windows 7,
# which the installer refuses.
zw_wine_windows() {
    local wine=$1 version=$2
    "$wine" reg add 'HKCU\Software\Wine' /v Version /d "$version" /f >/dev/null 2>&1
}

# A fresh 64-bit prefix at $WINEPREFIX, its session running.
zw_wine_prefix() {
    local wine=$1 wineserver=$2
    "$wine" wineboot -i >/dev/null 2>&1
    zw_wine_no_debugger "$wine"
    zw_wine_windows "$wine" win10
    "$wineserver" -w
    zw_wine_session "$wine" "$wineserver"
}

# Wine speaks the user's language only where the system has the locale
# LANG names generated; the tests run in German (Debian's locales package).
zw_german_locale() {
    locale -a 2>/dev/null | grep -qix 'de_DE.utf8' && return 0
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo localedef -i de_DE -c -f UTF-8 de_DE.UTF-8
}
