#!/usr/bin/env bash
# Installs ZirbelWerk under Wine silently, as a roll-out would: over an
# older version, then over itself; then removes it, and checks what each
# step leaves behind. Between, the installer and the uninstaller as a user
# sees them, in German and in English, and the installer on Windows 7:
#   bash tests/windows/installer-test.sh zirbelwerk-<version>-setup.exe
# CTest runs it on the display and in the prefix of its fixtures
# (ZW_WINE_DIR). Prints each check; fails on the first that does not hold.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
[ $# -eq 1 ] || { echo "usage: installer-test.sh SETUP.exe" >&2; exit 2; }
setup="$(realpath "$1")"
source "$here/checks.sh"
source "$root/scripts/windows/prefix.sh"
zw_wine_env
version=$(setup_version "$setup")
[ -n "$version" ] || { echo "installer-test.sh: $setup is no zirbelwerk-<version>-setup.exe" >&2; exit 2; }

wine=/usr/lib/wine/wine64
work="$(mktemp -d /tmp/zw-installer-test.XXXXXX)"
trap 'rm -rf "$work"' EXIT
zw_german_locale

c="$WINEPREFIX/drive_c"
folder="$c/Program Files/ZirbelWerk"
link="$c/ProgramData/Microsoft/Windows/Start Menu/Programs/ZirbelWerk.lnk"
station_link="$c/ProgramData/Microsoft/Windows/Start Menu/Programs/ZirbelWerk Station.lnk"
station_command='HKLM\Software\Classes\ZirbelWerk.Station\shell\open\command'
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\ZirbelWerk'
environment_key='HKLM\System\CurrentControlSet\Control\Session Manager\Environment'
settings_key='HKCU\Software\ORV\Kolibar'
entry='C:\Program Files\ZirbelWerk'
explain() {
    explain_folder "$folder"
    echo "--- uninstall key: $(present "$uninstall_key" && echo kept || echo removed)"
}

value() { "$wine" reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$2 *REG_[A-Z_]* *//p"; }
machine_path() { value "$environment_key" Path; }
present() { "$wine" reg query "$@" >/dev/null 2>&1; }
# A key's default value, whatever Wine calls it in this language.
default() { "$wine" reg query "$1" /ve 2>/dev/null | tr -d '\r' | sed -n 's/^ *([^)]*) *REG_[A-Z_]* *//p'; }
# Every line of every file ends in CR LF.
crlf_only() { ! grep -qv $'\r$' "$@"; }
# The texts of the installer's window (title part $1), or a press of its
# button (--next, --cancel); windowtexts.c.
x86_64-w64-mingw32-gcc-posix -municode -O2 -o "$work/windowtexts.exe" "$here/windowtexts.c"
texts() { "$wine" "$work/windowtexts.exe" "$@" | tr -d '\r'; }
german=(env LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8)
english=(env LANG=C.UTF-8 LC_ALL=C.UTF-8)
# Waits until the window shows the text, 30 s at most.
shows() {
    local _
    for _ in $(seq 30); do
        texts "$1" | grep -qF "$2" && return 0
        sleep 1
    done
    return 1
}
absent() { ! present "$@"; }
# The uninstaller returns at once and works on from a copy of itself; the
# folder goes last.
wait_removed() {
    local _
    for _ in $(seq 300); do
        [ -e "$folder" ] || return 0
        sleep 0.2
    done
    return 1
}

# An older version with a file the new one lacks, and with the station.
mkdir -p "$work/old/images" "$work/old/licences"
cp "$root/app/resources/images/fwloader.ico" "$work/old/images/"
echo old >"$work/old/old-only.dll"
echo station >"$work/old/zirbelwerk-station.exe"
cp /usr/share/common-licenses/GPL-3 "$work/old/licences/GPL-3.0.txt"
cmake -DSTAGE="$work/old" -DVERSION=0.0.1 -DOUT="$work" -P "$root/scripts/windows/package.cmake"

check "not installed yet" absent "$uninstall_key"
# Older than the README's Windows 10: refused, and said so.
zw_wine_windows "$wine" win7
status=0
"$wine" "$setup" /S || status=$?
check "Windows 7: /S refused with exit 3, nothing installed" test "$status/$(present "$uninstall_key" && echo installed)" = 3/
"${german[@]}" "$wine" "$setup" &
setup_pid=$!
check "Windows 7: the installer says why" shows ZirbelWerk "braucht 64-Bit-Windows 10 oder neuer"
texts ZirbelWerk --next
wait "$setup_pid" || true
zw_wine_windows "$wine" win10
path_before="$(machine_path)"
check "older version installs silently" "$wine" "$work/zirbelwerk-0.0.1-setup.exe" /S
check "older version installed" test -e "$folder/old-only.dll"
check "station: Start-menu link" test -f "$station_link"
check "station: .zwstation opens in it" \
    test "$(default 'HKLM\Software\Classes\.zwstation')" = ZirbelWerk.Station
check "station: its open command" \
    test "$(default "$station_command")" = '"C:\Program Files\ZirbelWerk\zirbelwerk-station.exe" "%1"'
# An older version whose uninstaller fails stops the update.
cp "$folder/uninstall.exe" "$work/uninstall.exe"
echo 'int main(void) { return 2; }' | x86_64-w64-mingw32-gcc-posix -x c -o "$folder/uninstall.exe" -
status=0
"$wine" "$setup" /S || status=$?
check "older version that cannot be removed: exit 4, nothing installed over it" \
    test "$status/$(test -e "$folder/old-only.dll" -a ! -e "$folder/zirbelwerk.exe" && echo kept)" = 4/kept
cp "$work/uninstall.exe" "$folder/uninstall.exe"
check "$(basename "$setup") /S over it" "$wine" "$setup" /S
check "older version's files gone" test ! -e "$folder/old-only.dll"
check "station: link and open command kept, now of the real one" \
    test -f "$station_link" -a "$(default "$station_command")" = '"C:\Program Files\ZirbelWerk\zirbelwerk-station.exe" "%1"'
for file in zirbelwerk.exe zirbelwerk-flash.exe zirbelwerk-station.exe images/fwloader.ico platforms/qwindows.dll \
    styles/qwindowsvistastyle.dll imageformats/qico.dll translations/qtbase_de.qm demo.hex \
    licences/README.txt uninstall.exe; do
    check "installed: $file" test -f "$folder/$file"
done
check "Start-menu link for all users" test -f "$link"
for name in DisplayName DisplayVersion Publisher DisplayIcon EstimatedSize UninstallString QuietUninstallString; do
    check "uninstall key: $name" test -n "$(value "$uninstall_key" "$name")"
done
check "uninstall key: DisplayVersion $version" test "$(value "$uninstall_key" DisplayVersion)" = "$version"
check "PATH holds the folder once" test "$(machine_path)" = "$path_before;$entry"
check "zirbelwerk-flash --version in a new cmd" \
    test "$(cd "$work" && "$wine" cmd /c zirbelwerk-flash --version | tr -d '\r')" = "zirbelwerk-flash $version"
check "licence texts with Windows line ends" crlf_only "$folder"/licences/*.txt

# As a user sees it: the licence first, in the user's language; last the
# offer to start the window (not taken: the run is ended there).
"${english[@]}" "$wine" "$setup" &
setup_pid=$!
check "English: licence page first" shows "Setup" "ZirbelWerk is free software under this licence"
texts Setup --cancel
wait "$setup_pid" || true
"${german[@]}" "$wine" "$setup" &
setup_pid=$!
check "German: licence page first" shows "Installation von" "ZirbelWerk ist freie Software unter dieser Lizenz"
check "German: Lizenzabkommen" shows "Installation von" "Lizenzabkommen"
texts "Installation von" --next
check "German: the folder next" shows "Installation von" "Zielverzeichnis"
texts "Installation von" --next
check "German: last page offers ZirbelWerk starten" shows "Installation von" "ZirbelWerk starten"
kill "$setup_pid"
wait "$setup_pid" || true

# From here a PATH longer than the installer's own strings, to be kept whole.
long_path="$path_before$(printf ';C:\\Tools\\t%03d' $(seq 80))"
"$wine" reg add "$environment_key" /v Path /t REG_EXPAND_SZ /d "$long_path;$entry" /f >/dev/null
check "installs over itself" "$wine" "$setup" /S
check "long PATH kept, the folder on it once" test "$(machine_path)" = "$long_path;$entry"

# The user's record and settings; made here only where the prefix has none.
local_data="$("$wine" cmd /c echo %LOCALAPPDATA% | tr -d '\r')"
record_dir="$("$wine" winepath -u "$local_data")/zirbelwerk"
record="$record_dir/flash-record.jsonl"
[ -e "$record" ] || { mkdir -p "$record_dir" && echo '{}' >"$record" && made_record=1; }
if absent "$settings_key"; then
    "$wine" reg add "$settings_key" /v fontsize /t REG_DWORD /d 12 /f >/dev/null
    made_settings=1
fi

# It runs on from a copy of itself; the run is ended on its first page.
"${german[@]}" "$wine" 'C:\Program Files\ZirbelWerk\uninstall.exe'
check "uninstaller names the record's folder it keeps" \
    shows "Deinstallation von" "das Protokoll in $local_data\\zirbelwerk"
check "uninstaller names the settings it keeps" shows "Deinstallation von" "HKEY_CURRENT_USER\Software\ORV\Kolibar"
texts "Deinstallation von" --cancel
check "uninstall.exe /S" "$wine" 'C:\Program Files\ZirbelWerk\uninstall.exe' /S
check "folder removed" wait_removed
check "Start-menu link removed" test ! -e "$link"
check "station's link and file type removed" \
    test ! -e "$station_link" -a -z "$(present 'HKLM\Software\Classes\.zwstation' && echo left)"
check "uninstall key removed" absent "$uninstall_key"
check "long PATH kept, without the folder" test "$(machine_path)" = "$long_path"
check "record stays" test -f "$record"
check "settings stay" present "$settings_key" /v fontsize

"$wine" reg add "$environment_key" /v Path /t REG_EXPAND_SZ /d "$path_before" /f >/dev/null
if [ -n "${made_record:-}" ]; then rm -f "$record"; rmdir "$record_dir" 2>/dev/null || true; fi
if [ -n "${made_settings:-}" ]; then "$wine" reg delete "$settings_key" /f >/dev/null; fi
echo "installer test: all checks passed"
