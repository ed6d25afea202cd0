#!/usr/bin/env bash
# End-to-end check that Windows reads what qdstamp writes.
#
# Builds resprobe.exe (a program that reads its own resources through the
# Win32 API) with MinGW, stamps it with the Linux qdstamp (configuration,
# icon, splash bitmap and a 2x PNG splash picture, version keys), runs it
# under Wine and compares what it prints with data/wine_expected.txt.  Then stamps the stamped file again with
# its own "qdstamp show" output and checks that the bytes do not change.
# When the Windows qdstamp.exe is there (second argument, or the tools-only
# Windows tree build/qdstamp-win), it stamps the same inputs under Wine and
# its output must be identical to the Linux build's (both decode the PNG with
# the same library).
#
#   tests/qdstamp/wine_check.sh [path/to/linux/qdstamp [path/to/qdstamp.exe]]
#
# Uses its own WINEPREFIX and Xvfb display under a temporary folder in build/,
# and removes both at the end.  Exit code 0 when everything matches.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
data="$here/data"
qdstamp=${1:-"$root/build/host/tools/qdstamp/qdstamp"}
qdstamp_exe=${2:-"$root/build/qdstamp-win/tools/qdstamp/qdstamp.exe"}
[ -x "$qdstamp" ] || { echo "error: $qdstamp: no qdstamp binary (build the host tree first)" >&2; exit 1; }
for tool in x86_64-w64-mingw32-g++ x86_64-w64-mingw32-windres wine wineboot wineserver Xvfb convert; do
    command -v "$tool" >/dev/null || { echo "error: $tool is not installed" >&2; exit 1; }
done

mkdir -p "$root/build"
work=$(mktemp -d "$root/build/qdstamp-winecheck.XXXXXX")
export WINEPREFIX="$work/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
xvfb_pid=""
cleanup() {
    wineserver -k >/dev/null 2>&1 || true
    if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT

# 1. The probe, built the way the launcher is built.
(cd "$data" && x86_64-w64-mingw32-windres -i resprobe.rc -o "$work/resprobe_res.o")
x86_64-w64-mingw32-g++ -O1 -static -s -o "$work/resprobe.exe" "$here/resprobe.cpp" "$work/resprobe_res.o" -lversion -lgdi32

# 2. Stamp it on Linux, with a 2x picture whose alpha runs from left to right.
convert "$data/splash.bmp" -resize 200% -alpha set -channel A -fx 'i/w' +channel PNG32:"$work/splash@2x.png"
"$qdstamp" build --launcher "$work/resprobe.exe" --config "$data/wine_check.qdcfg" --out "$work/stamped.exe" \
    --icon "$data/app.ico" --splash "$data/splash.bmp" --splash-2x "$work/splash@2x.png"

# 3. A display of our own (LoadBitmap needs one) and a fresh prefix.
display=""
for n in $(seq 57 157); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then display=$n; break; fi
done
[ -n "$display" ] || { echo "error: no free X display number" >&2; exit 1; }
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=":$display"
for _ in $(seq 1 100); do
    [ -e "/tmp/.X11-unix/X$display" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || { echo "error: Xvfb did not start" >&2; exit 1; }
    sleep 0.1
done
wineboot -i >/dev/null 2>&1
wineserver -w

# 4. What Windows sees.
timeout 120 wine "$work/stamped.exe" >"$work/actual.txt" 2>"$work/wine-stderr.txt" || {
    echo "error: resprobe.exe failed under Wine" >&2; cat "$work/wine-stderr.txt" >&2; exit 1; }
tr -d '\r' <"$work/actual.txt" >"$work/actual-lf.txt"
if ! diff -u "$data/wine_expected.txt" "$work/actual-lf.txt"; then
    echo "error: $data/wine_expected.txt: Wine read different resources than expected (diff above)" >&2
    exit 1
fi

# 5. show -> build on the stamped file reproduces it byte for byte.
"$qdstamp" show "$work/stamped.exe" --out "$work/shown.qdcfg"
"$qdstamp" build --launcher "$work/stamped.exe" --config "$work/shown.qdcfg" --out "$work/restamped.exe"
cmp "$work/stamped.exe" "$work/restamped.exe" || { echo "error: restamping with the shown configuration changed the file" >&2; exit 1; }

# 6. The Windows build of qdstamp gives the same bytes.
checks=2
if [ -f "$qdstamp_exe" ]; then
    (cd "$work" && timeout 120 wine "$qdstamp_exe" build --launcher resprobe.exe --config "$data/wine_check.qdcfg" \
        --out stamped-win.exe --icon "$data/app.ico" --splash "$data/splash.bmp" --splash-2x 'splash@2x.png') \
        || { echo "error: $qdstamp_exe failed under Wine" >&2; exit 1; }
    cmp "$work/stamped.exe" "$work/stamped-win.exe" \
        || { echo "error: $qdstamp_exe: the Windows build stamped different bytes than the Linux build" >&2; exit 1; }
    checks=3
else
    echo "note: $qdstamp_exe not built; skipping the Windows qdstamp comparison" >&2
fi

echo "wine check: $checks passed, 0 failed"
