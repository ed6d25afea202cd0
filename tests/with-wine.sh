#!/usr/bin/env bash
# Runs a command with a private Wine environment: a fresh WINEPREFIX under the
# build folder, an Xvfb display of its own, and one persistent wineserver.
# Only what this script started is stopped at the end.
#
#   tests/with-wine.sh <build-dir> <command> [args...]
set -euo pipefail

build_dir=$(realpath "$1")
shift

export WINEPREFIX="$build_dir/wineprefix"
export WINEDEBUG=-all
# Wine names files on the Linux side in the locale's character set: without a
# UTF-8 locale (a bare machine has none set) no folder with a Cyrillic or CJK
# name can be made. C.UTF-8 is built into the C library.
export LC_ALL=C.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml="   # no Mono/Gecko install dialogs

xvfb_pid=""
cleanup() {
    WINEPREFIX="$WINEPREFIX" wineserver -k 2>/dev/null || true
    if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; fi
}
trap cleanup EXIT

# A display of our own: Xvfb picks a free number itself and reports it.
mkdir -p "$build_dir"
display_file="$build_dir/xvfb-display"
rm -f "$display_file"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 1 100); do
    [ -s "$display_file" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || { echo "error: Xvfb did not start" >&2; exit 1; }
    sleep 0.1
done
[ -s "$display_file" ] || { echo "error: Xvfb reported no display" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$display_file")"

# Never reuse state from an earlier run.
rm -rf "$WINEPREFIX"
wineboot -i >/dev/null 2>&1
wineserver -w
wineserver -p
# Real timings without a window manager; crashing programs end with their
# exception code instead of waiting on a dialog.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1

set +e
"$@"
status=$?
set -e
exit $status
