#!/usr/bin/env bash
# Velumbra's MSI under Wine, in the session's prefix ($WINEPREFIX) and display ($DISPLAY):
#   msi_test.sh VERSION SCR WIN_TESTS WORKDIR
# A silent install puts exactly one Velumbra.scr into C:\windows\system32 and
# lists the product once; the installed file runs as the saver; newer packages replace older
# ones and an older one is refused; an uninstall leaves no file, entry or cached package.
set -uo pipefail
version=$1 scr=$2 tests=$3 work=$4
drive=${WINEPREFIX:?needs the test prefix}/drive_c
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# The versions of Velumbra in the installed-programs list, where Velumbra.scr lies, and how many
# packages Windows Installer keeps.
installed() {
    wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null | tr -d '\r' |
        awk '/^HKEY/ { if (name == "Velumbra") print version; name = version = "" }
             $1 == "DisplayName" { name = $3 } $1 == "DisplayVersion" { version = $3 }
             END { if (name == "Velumbra") print version }' | sort
    (cd "$drive" && find . -iname Velumbra.scr | sort)
    find "$drive/windows/Installer" -maxdepth 1 -iname '*.msi' 2>/dev/null | wc -l
}

mkdir -p "$work"
IFS=. read -r major minor build revision <<<"$version"
newer_revision=$major.$minor.$build.$((revision + 1)) newer_minor=$major.$((minor + 1)).0.0
for v in "$version" "$newer_revision" "$newer_minor"; do
    "$(dirname "$0")/../installer/build-msi" "$v" "$scr" "$work/Velumbra-$v.msi" || { echo "FAIL: build-msi $v"; exit 1; }
done
none=$(installed | xargs) in_place=./windows/system32/Velumbra.scr cached=$((${none##* } + 1))
# msiexec silent with an action and a package; then its status and what is installed. A refused
# install ends with 1603, which comes through wine as 1603 % 256.
run() {
    timeout 120 wine msiexec "$1" "Z:${work//\//\\}\\Velumbra-$2.msi" /qn </dev/null >/dev/null 2>&1
    local got="$? $(installed | xargs)"
    [ "$got" = "$3" ] && echo "ok: msiexec $1 $2: $got" || fail "msiexec $1 $2: expected '$3', got '$got'"
}
run /i "$version" "0 $version $in_place $cached"
timeout 120 wine "$tests" 'C:\windows\system32\Velumbra.scr' --gtest_filter='AnyDpi.SaverWindowAndWhatEndsIt' </dev/null ||
    fail "the installed file does not run as the saver (end-to-end test, status $?)"
run /x "$version" "0 $none"
for v in "$version" "$newer_revision" "$newer_minor"; do run /i "$v" "0 $v $in_place $cached"; done
run /i "$version" "$((1603 % 256)) $newer_minor $in_place $cached"
run /x "$newer_minor" "0 $none"
echo "== $failures failed checks"
[ "$failures" -eq 0 ]
