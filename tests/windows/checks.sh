# Sourced by installer-test.sh and installed-test.sh: each check prints its
# line, and the first that does not hold ends the test.
check() {
    local what="$1"
    shift
    if "$@"; then echo "ok: $what"; else echo "FAILED: $what" >&2; exit 1; fi
}

# The version in zirbelwerk-<version>-setup.exe; empty for another name.
setup_version() {
    basename "$1" | sed -n 's/^zirbelwerk-\(.*\)-setup\.exe$/\1/p'
}
