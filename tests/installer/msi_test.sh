#!/usr/bin/env bash
# Velumbra's MSI under Wine, in the session's prefix ($WINEPREFIX) and display ($DISPLAY):
#   msi_test.sh VERSION SCR E2E_TESTS WORKDIR
# Builds the package as scripts/release does, then: a silent install puts exactly one
# Velumbra.scr, byte for byte the built one, into C:\windows\system32 and lists the product;
# the installed file runs as a saver; newer packages replace older ones and an older one is
# refused; a silent uninstall leaves no file, product, registration or cached package.
set -uo pipefail
[ $# -eq 4 ] || { echo "usage: $0 VERSION SCR E2E_TESTS WORKDIR" >&2; exit 2; }
version=$1 scr=$2 e2e=$3 work=$4
root=$(cd "$(dirname "$0")/../.." && pwd)
: "${WINEPREFIX:?needs the test prefix}" "${DISPLAY:?needs the test display}"
drive=$WINEPREFIX/drive_c
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
expect_eq() {  # what expected actual
    if [ "$2" = "$3" ]; then echo "ok: $1"; else fail "$1: expected '$2', got '$3'"; fi
}
windows_path() { local p=${1//\//\\}; echo "Z:$p"; }

# msiexec, silent; a hung one is killed and counts as a failure (exit 124).
msiexec() {
    timeout 120 wine msiexec "$1" "$(windows_path "$2")" /qn </dev/null >/dev/null 2>&1
}

# The registry's packed form of a GUID, as Windows Installer keys name products.
packed() {
    local g=${1//[\{\}-]/} out="" i
    out=$(rev <<<"${g:0:8}")$(rev <<<"${g:8:4}")$(rev <<<"${g:12:4}")
    for ((i = 16; i < 32; i += 2)); do out+=${g:i+1:1}${g:i:1}; done
    echo "$out"
}

property() { msiinfo export "$1" Property | tr -d '\r' | awk -F'\t' -v p="$2" '$1 == p { print $2 }'; }

# The versions of Velumbra in the installed-programs list, sorted, space-separated.
installed_versions() {
    wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null | tr -d '\r' |
        awk '/^HKEY/ { if (name == "Velumbra") print version; name = version = "" }
             $1 == "DisplayName" { name = $3 } $1 == "DisplayVersion" { version = $3 }
             END { if (name == "Velumbra") print version }' | sort | xargs
}

# Every place Velumbra.scr is under drive C, relative to it.
scr_copies() { (cd "$drive" && find . -iname Velumbra.scr | sort | xargs); }

cached_packages() { find "$drive/windows/Installer" -maxdepth 1 -iname '*.msi' 2>/dev/null | wc -l; }

mkdir -p "$work"
IFS=. read -r major minor build revision <<<"$version"
newer_revision=$major.$minor.$build.$((revision + 1))  # the same first three fields
newer_minor=$major.$((minor + 1)).0.0
versions=("$version" "$newer_revision" "$newer_minor")
for v in "${versions[@]}"; do
    "$root/installer/build-msi" "$v" "$scr" "$work/Velumbra-$v.msi" || { echo "FAIL: build-msi $v"; exit 1; }
done
msi=$work/Velumbra-$version.msi
# Every GUID the packages register: upgrade code, product codes, component code.
codes=("$(property "$msi" UpgradeCode)")
for v in "${versions[@]}"; do codes+=("$(property "$work/Velumbra-$v.msi" ProductCode)"); done
codes+=("$(msiinfo export "$msi" Component | tr -d '\r' | awk -F'\t' '$1 == "VelumbraScr" { print $2 }')")
cached_before=$(cached_packages)
product_code=${codes[1]}

# What the registry holds about installed packages, as one text.
registrations() {
    {
        wine reg query 'HKLM\Software\Classes\Installer' /s
        wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Installer' /s
        wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s
    } 2>/dev/null | tr -d '\r'
}
names() { grep -q -i -e "$2" -e "$(packed "$2")" <<<"$1"; }

# After an uninstall: no file, no listed product, no registration, no cached package.
expect_clean() {
    local after=$1 text code
    expect_eq "$after: no Velumbra.scr left" "" "$(scr_copies)"
    expect_eq "$after: no Velumbra in installed programs" "" "$(installed_versions)"
    text=$(registrations)
    for code in "${codes[@]}"; do
        if names "$text" "$code"; then fail "$after: the registry still names $code"; fi
        if [ -e "$drive/windows/Installer/$code" ]; then fail "$after: C:\\windows\\Installer still holds $code"; fi
    done
    expect_eq "$after: cached packages as before" "$cached_before" "$(cached_packages)"
}

echo "== the release package: install"
expect_eq "no Velumbra before the install" "" "$(installed_versions)$(scr_copies)"
msiexec /i "$msi"
expect_eq "install exit status" 0 $?
expect_eq "one Velumbra.scr, in the 64-bit system folder" "./windows/system32/Velumbra.scr" "$(scr_copies)"
if cmp -s "$scr" "$drive/windows/system32/Velumbra.scr"; then echo "ok: the installed file is the built one"
else fail "the installed file differs from $scr"; fi
expect_eq "installed programs" "$version" "$(installed_versions)"
key="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$product_code"
expect_eq "publisher" Velumbra "$(wine reg query "$key" /v Publisher 2>/dev/null | tr -d '\r' | awk '$1 == "Publisher" { print $3 }')"
if [ -f "$drive/windows/Installer/$product_code/Velumbra.ico" ]; then echo "ok: the programs-list icon is published"
else fail "no icon in C:\\windows\\Installer\\$product_code"; fi
# The same look that must find nothing after the uninstall finds the codes now.
text=$(registrations)
for code in "${codes[0]}" "$product_code" "${codes[-1]}"; do
    if names "$text" "$code"; then echo "ok: registered $code"; else fail "not registered: $code"; fi
done

echo "== the installed file runs as the saver"
timeout 120 wine "$e2e" 'C:\windows\system32\Velumbra.scr' \
    --gtest_filter='Saver.WindowCoversTheScreenTopmostLayeredWithTheAlphaPointerHidden' </dev/null
expect_eq "the saver from C:\\windows\\system32 (end-to-end test)" 0 $?

echo "== the release package: uninstall"
msiexec /x "$msi"
expect_eq "uninstall exit status" 0 $?
expect_clean "uninstall"

echo "== upgrades"
# Each row: the package installed, its exit status, then the Velumbra versions installed.
# A refused install ends with 1603, which comes through wine as 1603 % 256.
rows=("$version 0 $version"
      "$newer_revision 0 $newer_revision"
      "$newer_minor 0 $newer_minor"
      "$version $((1603 % 256)) $newer_minor")
for row in "${rows[@]}"; do
    read -r v status expected <<<"$row"
    msiexec /i "$work/Velumbra-$v.msi"
    expect_eq "install $v: exit status" "$status" $?
    expect_eq "install $v: installed programs" "$expected" "$(installed_versions)"
    expect_eq "install $v: one Velumbra.scr in place" "./windows/system32/Velumbra.scr" "$(scr_copies)"
done
msiexec /x "$work/Velumbra-$newer_minor.msi"
expect_eq "uninstall $newer_minor: exit status" 0 $?
expect_clean "uninstall after the upgrades"

echo "== $failures failed checks"
[ "$failures" -eq 0 ]
