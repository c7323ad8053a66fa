# Sourced by test.sh and the Wine benchmark: makes the fresh 64-bit Wine
# prefix $WINEPREFIX, whose COM ports lead nowhere, and keeps one session
# of it for the caller's run.
zw_wine_prefix() {
    local wine=$1 wineserver=$2 reg="$WINEPREFIX.ports.reg" i
    "$wine" wineboot -i >/dev/null 2>&1
    # At the start of each session Wine links COM1 and up to the machine's
    # serial ports, unless the prefix names the port itself; empty: no link.
    { printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\r\n'
      for i in $(seq 1 255); do printf '"COM%d"=""\r\n' "$i"; done; } >"$reg"
    "$wine" regedit /s "$reg" >/dev/null 2>&1
    "$wineserver" -w
    # One session for the whole run: a new one would link the ports again.
    "$wineserver" -p >/dev/null 2>&1
    "$wine" cmd /c exit >/dev/null 2>&1
    # Whatever the machine's ports still got (COM256 cannot be named).
    rm -f "$WINEPREFIX"/dosdevices/com*
}
