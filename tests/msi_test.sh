#!/usr/bin/env bash
# Velumbra's MSI under Wine, in the session's prefix ($WINEPREFIX) and display ($DISPLAY):
#   msi_test.sh VERSION SCR WIN_TESTS WORKDIR
# A silent install puts exactly one Velumbra.scr, the built one, into C:\windows\system32 and
# lists the product once; the installed file runs as the saver; newer packages replace older
# ones and an older one is refused; an uninstall leaves no file, entry or cached package.
set -uo pipefail
[ $# -eq 4 ] || { echo "usage: $0 VERSION SCR WIN_TESTS WORKDIR" >&2; exit 2; }
version=$1 scr=$2 tests=$3 work=$4
root=$(cd "$(dirname "$0")/.." && pwd)
: "${WINEPREFIX:?needs the test prefix}" "${DISPLAY:?needs the test display}"
drive=$WINEPREFIX/drive_c
failures=0
expect_eq() {  # what expected actual
    if [ "$2" = "$3" ]; then echo "ok: $1"; else echo "FAIL: $1: expected '$2', got '$3'"; failures=$((failures + 1)); fi
}
# msiexec, silent; a hung one is killed and counts as a failure (exit 124).
msiexec() { timeout 120 wine msiexec "$1" "Z:${2//\//\\}" /qn </dev/null >/dev/null 2>&1; }
# The versions of Velumbra in the installed-programs list, sorted, and where Velumbra.scr lies.
installed() {
    wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null | tr -d '\r' |
        awk '/^HKEY/ { if (name == "Velumbra") print version; name = version = "" }
             $1 == "DisplayName" { name = $3 } $1 == "DisplayVersion" { version = $3 }
             END { if (name == "Velumbra") print version }' | sort | xargs
    (cd "$drive" && find . -iname Velumbra.scr | sort | xargs)
}
cached_packages() { find "$drive/windows/Installer" -maxdepth 1 -iname '*.msi' 2>/dev/null | wc -l; }

mkdir -p "$work"
IFS=. read -r major minor build revision <<<"$version"
newer_revision=$major.$minor.$build.$((revision + 1)) newer_minor=$major.$((minor + 1)).0.0
for v in "$version" "$newer_revision" "$newer_minor"; do
    "$root/installer/build-msi" "$v" "$scr" "$work/Velumbra-$v.msi" || { echo "FAIL: build-msi $v"; exit 1; }
done
cached_before=$(cached_packages)
in_place="./windows/system32/Velumbra.scr"

msiexec /i "$work/Velumbra-$version.msi"
expect_eq "install: status, listed once, one file in the 64-bit system folder" "0 $version $in_place" "$? $(installed | xargs)"
cmp -s "$scr" "$drive/windows/system32/Velumbra.scr"
expect_eq "the installed file is the built one" 0 $?
timeout 120 wine "$tests" 'C:\windows\system32\Velumbra.scr' --gtest_filter='AnyDpi.SaverWindowAndWhatEndsIt' </dev/null
expect_eq "the installed file runs as the saver (end-to-end test)" 0 $?
msiexec /x "$work/Velumbra-$version.msi"
expect_eq "uninstall: status, nothing listed, no file, cached packages as before" "0  $cached_before" "$? $(installed | xargs) $(cached_packages)"

# Each row: the package installed, its status, then what is installed. A refused install
# ends with 1603, which comes through wine as 1603 % 256.
for row in "$version 0 $version" "$newer_revision 0 $newer_revision" "$newer_minor 0 $newer_minor" \
           "$version $((1603 % 256)) $newer_minor"; do
    read -r v status expected <<<"$row"
    msiexec /i "$work/Velumbra-$v.msi"
    expect_eq "install $v over what is there" "$status $expected $in_place" "$? $(installed | xargs)"
done
msiexec /x "$work/Velumbra-$newer_minor.msi"
expect_eq "uninstall after the upgrades" "0  $cached_before" "$? $(installed | xargs) $(cached_packages)"

echo "== $failures failed checks"
[ "$failures" -eq 0 ]
