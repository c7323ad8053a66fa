# Sourced by installer-test.sh and installed-test.sh: each check prints its
# line, and the first that does not hold ends the test, after what the
# test's own explain function (if any) tells of the state it failed in.
check() {
    local what="$1"
    shift
    if "$@"; then
        echo "ok: $what"
        return
    fi
    echo "FAILED: $what" >&2
    if declare -F explain >/dev/null; then explain >&2 || true; fi
    exit 1
}

# What is left in the program folder $1 and which Windows programs run:
# enough to tell a file in use from an uninstaller that did not run.
explain_folder() {
    echo "--- left in $1:"
    find "$1" 2>/dev/null | sed "s|^$1|.|" | head -40 || true
    echo "--- Windows programs running:"
    pgrep -a -f '^[A-Z]:\\' || true
}

# The version in zirbelwerk-<version>-setup.exe; empty for another name.
setup_version() {
    basename "$1" | sed -n 's/^zirbelwerk-\(.*\)-setup\.exe$/\1/p'
}
