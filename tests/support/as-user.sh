#!/bin/sh
# Runs a test as an ordinary user (nobody) when started as root, as a user
# at an instrument runs the programs: what root alone may do (open a port
# another opener holds exclusively) must not be what keeps two writers
# apart. The programs are copied first: the build folder may be one that
# user cannot enter.
#   as-user.sh TEST_PROGRAM PORT_HOLDER [TEST_ARGUMENTS...]
set -eu
program=$1 holder=$2
shift 2
[ "$(id -u)" -eq 0 ] || exec "$program" "$@"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cp "$program" "$holder" "$dir/"
chmod 755 "$dir"
status=0
HOME="$dir" ZW_PORTHOLD="$dir/$(basename "$holder")" \
    setpriv --reuid=65534 --regid=65534 --clear-groups "$dir/$(basename "$program")" "$@" || status=$?
exit "$status"
