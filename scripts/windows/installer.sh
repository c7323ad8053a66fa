#!/usr/bin/env bash
# Makes the Windows installer of the files in a folder:
#   installer.sh FOLDER VERSION OUT.exe
# It installs exactly those files, and its uninstaller deletes exactly them.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
[ $# -eq 3 ] || { echo "usage: installer.sh FOLDER VERSION OUT.exe" >&2; exit 2; }
stage="$(cd "$1" && pwd)"
version="$2"
out="$(realpath -m "$3")"
source "$here/../deps.sh"
zw_install nsis >&2

files="$(mktemp --suffix=.nsh)"
trap 'rm -f "$files"' EXIT
windows_path() { local p="${1#.}"; p="${p#/}"; echo "\$INSTDIR${p:+\\${p//\//\\}}"; }
{
    echo '!macro ZW_INSTALL_FILES'
    while IFS= read -r dir; do
        echo "    SetOutPath \"$(windows_path "$dir")\""
        find "$stage/$dir" -maxdepth 1 -type f | sort | sed 's/.*/    File "&"/'
    done < <(cd "$stage" && find . -type d | sort)
    echo '!macroend'
    echo '!macro ZW_UNINSTALL_FILES'
    while IFS= read -r file; do
        echo "    Delete \"$(windows_path "$file")\""
    done < <(cd "$stage" && find . -type f | sort)
    # Deepest first; a folder the user put files into stays.
    while IFS= read -r dir; do
        echo "    RMDir \"$(windows_path "$dir")\""
    done < <(cd "$stage" && find . -mindepth 1 -type d | sort -r)
    echo '!macroend'
} >"$files"

makensis -V2 -DVERSION="$version" -DSTAGE="$stage" -DFILES="$files" \
    -DSIZE_KB="$(du -sk "$stage" | cut -f1)" -DOUTFILE="$out" "$here/installer.nsi" >&2
