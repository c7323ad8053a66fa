#!/usr/bin/env bash
# Builds the Debian packages (debian/) from a copy of this tree in build-deb/,
# so neither the tree nor its parent folder gets build leftovers, and prints
# the paths of the .deb files it made on its last lines.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
source "$root/scripts/deps.sh"
zw_install "${ZW_BUILD_PACKAGES[@]}" build-essential debhelper dpkg-dev

out="$root/build-deb"
source_dir="$out/zirbelwerk"
rm -rf "$out"
mkdir -p "$source_dir"
# The files of the tree as they are now, edits included, without build folders.
if git -C "$root" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git -C "$root" ls-files -z --cached --others --exclude-standard \
        | tar -C "$root" --null --files-from=- --ignore-failed-read -cf - 2>/dev/null \
        | tar -C "$source_dir" -xf -
else
    tar -C "$root" --exclude='./build*' -cf - . | tar -C "$source_dir" -xf -
fi

log="$out/build.log"
echo "Building the package (log: $log) ..."
if ! (cd "$source_dir" && dpkg-buildpackage -b -us -uc -j"$(nproc)") >"$log" 2>&1; then
    tail -n 40 "$log"
    echo "package.sh: dpkg-buildpackage failed, see $log" >&2
    exit 1
fi
rm -rf "$source_dir"
ls -1 "$out"/*.deb
