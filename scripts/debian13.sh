#!/usr/bin/env bash
# Builds and tests ZirbelWerk in a fresh minimal Debian 13 system (Qt 6.8),
# made with debootstrap from the mirror this machine's apt uses. Plain
# build and test run only: the sanitizer build and the package stay with
# the machine's own release. Needs root (debootstrap, chroot, mounts).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
source "$root/scripts/deps.sh"
zw_install debootstrap

# The first Debian mirror named in apt's sources, one-line or deb822 style.
apt_mirror() {
    local uri
    uri=$(grep -hsE '^deb ' /etc/apt/sources.list /etc/apt/sources.list.d/*.list \
          | grep -v security | awk '{for (i = 2; i <= NF; i++) if ($i ~ /^[a-z]+:\/\//) {print $i; exit}}' | head -n1)
    [ -n "$uri" ] || uri=$(grep -hsE '^URIs:' /etc/apt/sources.list.d/*.sources \
          | grep -v security | awk '{print $2}' | head -n1)
    [ -n "$uri" ] || { echo "no Debian mirror in apt's sources" >&2; return 1; }
    echo "$uri"
}

work="$(mktemp -d /var/tmp/zirbelwerk-debian13.XXXXXX)"
system="$work/system"
mounted=()
cleanup() {
    local i
    for (( i=${#mounted[@]}-1; i>=0; i-- )); do umount -l "${mounted[$i]}" 2>/dev/null || true; done
    rm -rf --one-file-system "$work"
}
trap cleanup EXIT

mirror=$(apt_mirror)
echo "Debian 13 from $mirror into $system"
start=$(date +%s)
debootstrap --variant=minbase trixie "$system" "$mirror" >"$work/debootstrap.log" 2>&1 \
    || { tail -n 20 "$work/debootstrap.log"; exit 1; }
for fs in proc dev dev/pts; do
    mount --bind "/$fs" "$system/$fs"
    mounted+=("$system/$fs")
done

# The checked-out tree as it stands, without build folders.
mkdir -p "$system/src/zirbelwerk"
(cd "$root" && git ls-files -z --cached --others --exclude-standard \
    | xargs -0 tar -cf - --ignore-failed-read) | tar -xf - -C "$system/src/zirbelwerk"

chroot "$system" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
    bash -euo pipefail -c '
        cd /src/zirbelwerk
        source scripts/deps.sh
        zw_install "${ZW_BUILD_PACKAGES[@]}" srecord fonts-dejavu-core >/dev/null
        echo "Qt in Debian 13: $(dpkg-query -W -f="\${Version}" qt6-base-dev)"
        cmake -S . -B build -DCMAKE_BUILD_TYPE=Debug -DZW_WARNINGS_AS_ERRORS=ON >/dev/null
        cmake --build build -j"$(nproc)"
        cd build
        ctest --output-on-failure -j2'
echo "Debian 13 build and tests: $(( $(date +%s) - start )) s"
