#!/usr/bin/env bash
# Packs a finished Windows build into the installer
# zirbelwerk-<version>-setup.exe and the portable
# zirbelwerk-<version>-windows-x64.zip of the same files, in BUILD/package/:
#   bash scripts/windows/package.sh BUILD_WIN_DIR
# Every DLL a shipped program, DLL or plugin imports is shipped or part of
# Windows, and no other DLL is: the walk fails the build, not the user.
# Prints the paths of the two files on its last lines.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
source "$root/scripts/deps.sh"
zw_install binutils-mingw-w64-x86-64 nsis zip qt6-translations-l10n >&2

[ $# -eq 1 ] || { echo "usage: package.sh BUILD_WIN_DIR" >&2; exit 2; }
build="$(cd "$1" && pwd)"
bin="$build/bin"
version=$(sed -n 's/^#define ZW_VERSION "\(.*\)"$/\1/p' "$build/generated/zwversion.h")
[ -n "$version" ] || { echo "package.sh: no version in $build/generated/zwversion.h" >&2; exit 1; }
out="$build/package"
name="zirbelwerk-$version-windows-x64"
stage="$out/$name"
rm -rf "$out"
mkdir -p "$stage"

# Loaded at run time, so no import names them.
plugins=(platforms/qwindows.dll styles/qwindowsvistastyle.dll imageformats/qico.dll)
for file in zirbelwerk.exe zirbelwerk-flash.exe images/fwloader.ico "${plugins[@]}"; do
    install -D -m 644 "$bin/$file" "$stage/$file"
done
# Debug sections are for the build; without them the package is half the size.
for file in "$stage"/*.exe "${plugins[@]/#/$stage/}"; do
    x86_64-w64-mingw32-strip --strip-unneeded "$file"
done
install -D -m 644 /usr/share/qt6/translations/qtbase_de.qm "$stage/translations/qtbase_de.qm"
install -m 644 "$root/sim/demo/demo.hex" "$stage/"

# What every Windows 10 and later has.
system_dlls=(advapi32 authz comdlg32 d3d9 d3d11 dwmapi dwrite dxgi gdi32 imm32 kernel32 mpr
    msvcrt netapi32 ole32 oleaut32 setupapi shcore shell32 shlwapi user32 userenv uxtheme
    version winmm ws2_32 wtsapi32)
imports() { x86_64-w64-mingw32-objdump -p "$1" | sed -n 's/^[[:space:]]*DLL Name: //p'; }
is_system() {
    local dll="${1,,}"
    dll="${dll%.dll}"
    [[ $dll == api-ms-win-* || " ${system_dlls[*]} " == *" $dll "* ]]
}
# Each DLL beside the programs is one that something shipped imports.
queue=("$stage"/*.exe "${plugins[@]/#/$stage/}")
while [ ${#queue[@]} -gt 0 ]; do
    file="${queue[0]}"
    queue=("${queue[@]:1}")
    while IFS= read -r dll; do
        is_system "$dll" && continue
        [ -e "$stage/$dll" ] && continue
        if [ ! -f "$bin/$dll" ]; then
            echo "package.sh: ${file#"$stage"/} imports $dll, which is neither in $bin nor part of Windows" >&2
            exit 1
        fi
        install -m 644 "$bin/$dll" "$stage/"
        x86_64-w64-mingw32-strip --strip-unneeded "$stage/$dll"
        queue+=("$stage/$dll")
    done < <(imports "$file")
done

# Windows' line ends: Notepad of Windows 10 before 1809 shows the texts as
# one line otherwise.
crlf() { sed 's/\r*$/\r/'; }
mkdir "$stage/licences"
{
    echo "ZirbelWerk $version for Windows, and what it bundles"
    echo
    echo "ZirbelWerk is free software under the GNU General Public License, version 3"
    echo "or (at your option) any later version. Qt is used under the GNU Lesser"
    echo "General Public License, version 3; its DLLs are built from Debian's qt6-base"
    echo "$(dpkg-query -W -f='${Version}' qt6-base-dev-tools) source package with the options in ZirbelWerk's"
    echo "scripts/windows/qt.sh, and may be replaced by another build of that Qt."
    echo
    while IFS='|' read -r file source covers; do
        read -r file <<<"$file"
        read -r source <<<"$source"
        crlf <"$source" >"$stage/licences/$file"
        echo "$file:$covers"
    done < <(grep -v '^#' "$here/licences.list")
} | crlf >"$stage/licences/README.txt"

echo "Shipped DLLs:" >&2
(cd "$stage" && find . -name '*.dll' | sed 's|^\./|  |' | sort) >&2
setup="$out/zirbelwerk-$version-setup.exe"
zip="$out/$name.zip"
bash "$here/installer.sh" "$stage" "$version" "$setup"
(cd "$out" && zip -q -r -9 "$zip" "$name")
echo "$setup"
echo "$zip"
