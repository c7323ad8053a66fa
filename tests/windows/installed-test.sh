#!/usr/bin/env bash
# The programs as a Windows user gets them, under Wine: installed silently,
# then the installed flasher writes the demo firmware paced through COM1 (its
# record in the local application data folder), --info shows it and ends
# cleanly, a second write is stopped by two Ctrl-C, two processes append to
# one record at once, the installed window starts and searches, the
# installed station answers and has its entry and file type; then the
# silent removal leaves the record.
#   installed-test.sh SETUP.exe WINDOWS_BUILD LINUX_BUILD
# CTest runs it on the display and in the prefix of its fixtures
# (ZW_WINE_DIR), whose COM ports lead nowhere; COM1 is linked here to each
# simulator in turn.
set -euo pipefail
[ $# -eq 3 ] || { echo "usage: installed-test.sh SETUP.exe WINDOWS_BUILD LINUX_BUILD" >&2; exit 2; }
root="$(cd "$(dirname "$0")/../.." && pwd)"
source "$root/tests/windows/checks.sh"
source "$root/scripts/windows/prefix.sh"
zw_wine_env
setup="$(realpath "$1")"
win_build="$(cd "$2" && pwd)"
simulator="$(cd "$3" && pwd)/sim/zirbelwerk-sim"
# German, as a German Windows speaks; the locale is for Wine, not this shell.
wine=(env LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8 /usr/lib/wine/wine64)
demo="$root/sim/demo/demo.hex"
folder="$WINEPREFIX/drive_c/Program Files/ZirbelWerk"
link="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/ZirbelWerk.lnk"
flasher='C:\Program Files\ZirbelWerk\zirbelwerk-flash.exe'
explain() { explain_folder "$folder"; }
work="$(mktemp -d /tmp/zw-installed-test.XXXXXX)"
sim_pid=""
cleanup() {
    [ -z "$sim_pid" ] || kill -TERM "$sim_pid" 2>/dev/null || true
    rm -f "$WINEPREFIX/dosdevices/com1"
    rm -rf "$work"
}
trap cleanup EXIT

# A simulator on COM1: start_sim NAME [SIMULATOR OPTIONS].
start_sim() {
    local name=$1
    shift
    "$simulator" "$@" --link "$work/$name.line" --memory-out "$work/$name.memory" \
        --report "$work/$name.report" >/dev/null &
    sim_pid=$!
    for _ in $(seq 50); do [ -e "$work/$name.line" ] && break; sleep 0.1; done
    ln -sfn "$(readlink -f "$work/$name.line")" "$WINEPREFIX/dosdevices/com1"
}
stop_sim() {
    kill -TERM "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
    sim_pid=""
}
report() { grep -x "$2=.*" "$work/$1.report" | cut -d= -f2; }
# The flasher is done when the last bytes have left it; the simulator
# reports them a moment later.
wait_written() { for _ in $(seq 50); do [ "$(report "$1" writes 2>/dev/null)" = 1 ] && return; sleep 0.1; done; }
last_record() { tail -n1 "$record" | python3 -c "import json, sys; print(json.load(sys.stdin)['$1'])"; }
whole_lines() {
    python3 - "$1" "$2" <<'EOF'
import collections, json, sys
lines = open(sys.argv[1], 'rb').read().split(b'\n')[:-1]
programs = collections.Counter(json.loads(line)['program'] for line in lines)
sys.exit(0 if sorted(programs.values()) == [int(sys.argv[2])] * 2 else 1)
EOF
}

check "setup.exe /S" "${wine[@]}" "$setup" /S
check "installed" test -f "$folder/zirbelwerk-flash.exe"
version=$(setup_version "$setup")
check "installed zirbelwerk-flash --version" \
    test "$("${wine[@]}" "$flasher" --version | tr -d '\r')" = "zirbelwerk-flash $version"
# From a folder without a flasher of its own: cmd looks there before PATH.
(cd "$work" && "${wine[@]}" cmd /c zirbelwerk-flash --help >"$work/help.out") || true
check "zirbelwerk-flash --help in cmd, German, with Windows' names and keys" \
    test "$(grep -c -e '^Aufruf: zirbelwerk-flash' -e '(COM1 bis COM256)' -e 'Ctrl-Break' "$work/help.out")/$(grep -c -e SIGHUP -e /dev/ "$work/help.out")" = 3/0
check "English when the language is English" \
    bash -c 'env LANG=en_US.UTF-8 LC_ALL=en_US.UTF-8 "$@" | grep -q "^HEX file OK!! Length: 16383 bytes"' - \
    /usr/lib/wine/wine64 "$flasher" --check "Z:$demo"
record_dir="$("${wine[@]}" winepath -u "$("${wine[@]}" cmd /c echo %LOCALAPPDATA% | tr -d '\r')")/zirbelwerk"
record="$record_dir/flash-record.jsonl"

# The demo firmware, paced like a 57600-baud line, into the instrument whole;
# the record's last line was cut off by a power cut.
mkdir -p "$record_dir"
printf '{"broken' >"$record"
start_sim demo --baud 57600 --block-ms 2
check "paced demo write by the installed flasher" "${wine[@]}" "$flasher" --port COM1 "Z:$demo"
wait_written demo
stop_sim
srec_cat "$demo" -Intel -fill 0xFF 0x0000 0x10000 -o "$work/demo.image" -Binary
check "the instrument's memory equals the image" cmp -s "$work/demo.image" "$work/demo.memory"
check "end marker in, no breach of the dialogue" \
    test "$(report demo end_marker)/$(report demo violations)" = "1/0"
check "record in the local application data folder: written" test "$(last_record result)" = written
check "record: the file as Windows writes it" test "$(last_record file)" = "Z:${demo//\//\\}"
check "record: the broken line kept, the new one on a line of its own" \
    test "$(head -n1 "$record")/$(wc -l <"$record")" = '{"broken/2'

# --info ends cleanly after the instrument's line: it crashed there.
start_sim info
status=0
"${wine[@]}" "$flasher" --info -p COM1 >"$work/info.out" 2>&1 || status=$?
stop_sim
check "--info: the instrument shown, exit 0, no crash" \
    test "$status/$(grep -c 'FW: V1.23' "$work/info.out")/$(grep -c Unhandled "$work/info.out")" = 0/1/0

# A record that is no regular file: refused with a warning, the write goes on.
start_sim refused
"${wine[@]}" "$flasher" --record 'C:\windows' --port COM1 "Z:$demo" >"$work/refused.out" 2>&1 || true
wait_written refused
stop_sim
check "record not a regular file: warned, written all the same" \
    test "$(grep -c 'keine gewoehnliche Datei' "$work/refused.out")/$(report refused end_marker)" = "1/1"

# Two Ctrl-C: Wine turns a SIGINT of the process into the console's Ctrl-C.
start_sim stopped --baud 57600 --block-ms 2
"${wine[@]}" "$flasher" --port COM1 "Z:$demo" >"$work/stopped.out" 2>&1 &
pid=$!
for _ in $(seq 100); do grep -q "Flash schreiben starten" "$work/stopped.out" && break; sleep 0.1; done
sleep 1
kill -INT "$pid"
sleep 0.5
kill -INT "$pid"
status=0
wait "$pid" || status=$?
stop_sim
check "first Ctrl-C lets the write go on" grep -q "das Schreiben geht weiter" "$work/stopped.out"
check "second Ctrl-C stops it: exit 5, the block named" \
    test "$status/$(grep -c 'Schreiben abgebrochen, Abbruch bei Block' "$work/stopped.out")" = "5/1"
check "record: interrupted, with the block reached" \
    test "$(last_record result)/$(( $(last_record block || echo 0) > 0 ))" = "interrupted/1"

# Two processes appending to one record at once: whole lines only (the
# build's appender, on the record code the installed programs have).
append="$win_build/bin/flashrecord_append.exe"
"${wine[@]}" "$append" 'C:\two-writers.jsonl' 100 first &
first=$!
"${wine[@]}" "$append" 'C:\two-writers.jsonl' 100 second || true
wait "$first" || true
check "two processes appending at once: 200 whole lines" \
    whole_lines "$WINEPREFIX/drive_c/two-writers.jsonl" 100

# The installed window, on its own platform plugin (the fixtures' display): it
# starts and asks COM1 for the instrument.
start_sim window
"${wine[@]}" 'C:\Program Files\ZirbelWerk\zirbelwerk.exe' >/dev/null 2>&1 &
window=$!
sleep 6
check "installed window runs" kill -0 "$window"
kill "$window"
wait "$window" 2>/dev/null || true
stop_sim
check "installed window searched COM1" test "$(report window queries)" -ge 1

# The installed station: it answers from the console it was started in, a
# wrong call ends with its reason; its Start-menu entry and file type.
station='C:\Program Files\ZirbelWerk\zirbelwerk-station.exe'
check "installed zirbelwerk-station --version" \
    test "$("${wine[@]}" "$station" --version | tr -d '\r')" = "zirbelwerk-station $version"
status=0
"${wine[@]}" "$station" --fast >"$work/station.out" 2>&1 || status=$?
check "installed station refuses a wrong call: exit 1, the reason said" \
    test "$status/$(grep -c 'Unbekannte Option --fast' "$work/station.out")" = 1/1
check "station: Start-menu link" test -f "$(dirname "$link")/ZirbelWerk Station.lnk"
check "station: .zwstation files open in it" \
    test "$("${wine[@]}" reg query 'HKLM\Software\Classes\ZirbelWerk.Station\shell\open\command' /ve | tr -d '\r' \
        | grep -c -F '"C:\Program Files\ZirbelWerk\zirbelwerk-station.exe" "%1"')" = 1
check "licences/README.txt names the station" grep -q 'zirbelwerk-station\.exe' "$folder/licences/README.txt"

check "uninstall.exe /S" "${wine[@]}" 'C:\Program Files\ZirbelWerk\uninstall.exe' /S
for _ in $(seq 300); do [ -e "$folder" ] || break; sleep 0.2; done
check "program folder removed" test ! -e "$folder"
check "Start-menu entry removed" test ! -e "$link"
check "record stays" test -s "$record"
echo "installed programs: all checks passed"
