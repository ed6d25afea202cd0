#!/usr/bin/env bash
# Checks the release archives made by the package targets of both trees:
# their listings, one version number everywhere (archive names, qdstamp
# --version, the launcher's version resource), a Linux qdstamp that is not
# the sanitizer build, and docs whose every link works in the unpacked
# archives.
#
#   tests/package-check.sh [build/windows [build/host]]
#
# Run after "cmake --build --preset windows --target package" and
# "cmake --build --preset host --target package" (tests/run-all.sh does).
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
windows=${1:-$root/build/windows}
host=${2:-$root/build/host}

passed=0
failed=0
check() {  # check <description> <command...>
    local what=$1
    shift
    if "$@"; then
        passed=$((passed + 1))
    else
        echo "error: $what" >&2
        failed=$((failed + 1))
    fi
}
finish() {
    echo "package-check: $passed passed, $failed failed"
    [ "$failed" -eq 0 ]
    exit
}

shopt -s nullglob
zips=("$windows"/qdlauncher-*-win64.zip)
tars=("$host"/qdstamp-*-linux-x86_64.tar.gz)
shopt -u nullglob
if [ ${#zips[@]} -ne 1 ] || [ ${#tars[@]} -ne 1 ]; then
    echo "error: expected one qdlauncher-*-win64.zip in $windows and one qdstamp-*-linux-x86_64.tar.gz in $host" >&2
    failed=1
    finish
fi
zip=${zips[0]}
tar=${tars[0]}
version=$(basename "$zip" -win64.zip)
version=${version#qdlauncher-}
zip_top=qdlauncher-$version-win64
tar_top=qdstamp-$version-linux-x86_64

# Listings: exactly these files (directories aside); the docs folder ships
# whole, as it stands in the repository.
same_listing() {  # same_listing <archive listing> <expected lines...>
    local listing=$1
    shift
    diff -u <(printf '%s\n' "$@" | sort) <(grep -v '/$' <<<"$listing" | sort)
}
docs=(LICENSE README.txt README.md demo/DemoApp.qdcfg demo/splash.bmp $(cd "$root" && find docs -type f))
check "$zip: unexpected listing" same_listing "$(unzip -Z1 "$zip")" \
    $(printf "$zip_top/%s\n" "${docs[@]}" qdlauncher-bare.exe qdlauncher-console-bare.exe qdstamp.exe)
check "$tar: unexpected listing" same_listing "$(tar tzf "$tar")" \
    $(printf "$tar_top/%s\n" "${docs[@]}" qdstamp)
check "$zip: damaged archive" unzip -tqq "$zip"

work=$(mktemp -d "$host/package-check.XXXXXX")
trap 'rm -rf "$work"' EXIT
unzip -q "$zip" -d "$work"
tar xzf "$tar" -C "$work"
win=$work/$zip_top
lin=$work/$tar_top

# One version number.
check "$tar: qdstamp --version does not say $version" \
    test "$("$lin/qdstamp" --version)" = "qdstamp $version"
check "$zip: the launcher's version resource does not say $version" \
    grep -qx "#   FileVersion: $version" <("$lin/qdstamp" show "$win/qdlauncher-bare.exe" 2>/dev/null)

# Exploit mitigations in the released executables' headers: ASLR with 64-bit
# addresses (large address aware 0x0020; DllCharacteristics HIGH_ENTROPY_VA
# 0x0020, DYNAMIC_BASE 0x0040) and the relocation table it needs, DEP
# (NX_COMPAT 0x0100), subsystem version 6.0.
objdump=$(command -v x86_64-w64-mingw32-objdump || command -v objdump)
mitigations() {  # mitigations <exe>
    local header characteristics dll relocations
    header=$("$objdump" -p "$1") || return 1
    characteristics=$(awk '$1 == "Characteristics" {print $2}' <<<"$header")
    dll=$(awk '$1 == "DllCharacteristics" {print $2}' <<<"$header")
    relocations=$(awk '/Base Relocation Directory/ {print $4}' <<<"$header")
    [ -n "$characteristics" ] && [ -n "$dll" ] && [ -n "$relocations" ] &&
        (((characteristics & 0x20) != 0 && (16#$dll & 0x160) == 0x160 && 16#$relocations != 0)) &&
        grep -Eq '^MajorSubsystemVersion[[:space:]]+6$' <<<"$header" &&
        grep -Eq '^MinorSubsystemVersion[[:space:]]+0$' <<<"$header"
}
for exe in qdlauncher-bare.exe qdlauncher-console-bare.exe qdstamp.exe; do
    check "$zip: $exe lacks ASLR, DEP, its relocations or subsystem version 6.0" mitigations "$win/$exe"
done
# A launcher stamped by qdstamp keeps them.
stamped=$work/DemoApp.exe
check "$zip: the demo configuration could not be stamped" \
    "$lin/qdstamp" build --launcher "$win/qdlauncher-bare.exe" --config "$win/demo/DemoApp.qdcfg" --out "$stamped"
check "$stamped: stamping dropped ASLR, DEP, the relocations or the subsystem version" mitigations "$stamped"

# The distributed qdstamp is the optimised build: no sanitizer runtime.
check "$tar: qdstamp is linked with a sanitizer runtime" \
    bash -c "! ldd '$lin/qdstamp' | grep -Eq 'libasan|libubsan'"

# README.md and the docs link only to what the archives hold.
check "$zip: broken links in the docs" python3 "$root/tests/markdown-link-check.py" "$win"
check "$tar: broken links in the docs" python3 "$root/tests/markdown-link-check.py" "$lin"

finish
