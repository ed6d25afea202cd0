#!/usr/bin/env bash
# A screenshot of the demo application's splash screen, to look at.
#
# Stamps the shipped configuration plus CFG_SPLASH and the demo picture
# (res/demo/splash.bmp) into a copy of the record-free launcher with the
# Windows build of qdstamp, starts it under Wine with a stand-in runtime that
# waits until it is released, photographs the screen and ends the run.
#
#   tests/splash-screenshot.sh            -> build/splash-screenshot.png
#
# Needs the Windows tree (cmake --preset windows && cmake --build --preset
# windows). Uses its own Wine prefix and Xvfb display (tests/with-wine.sh)
# under build/splash-shot, and stops only what it started.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

windows=$root/build/windows
for file in qdlauncher.exe qdlauncher-bare.exe fake_javaw.exe tools/qdstamp/qdstamp.exe; do
    [ -f "$windows/$file" ] || { echo "error: $windows/$file is missing: run cmake --build --preset windows" >&2; exit 1; }
done
command -v import >/dev/null || { echo "error: import (ImageMagick) is not installed" >&2; exit 1; }

work=$root/build/splash-shot
app=$work/DemoApp
rm -rf "$work"
mkdir -p "$app/jvm/bin" "$app/lib"
cp "$windows/fake_javaw.exe" "$app/jvm/bin/javaw.exe"
: > "$app/lib/common-ui.jar"

shoot() {
    set -euo pipefail
    local qdstamp=$windows/tools/qdstamp/qdstamp.exe
    cd "$work"
    timeout 60 wine "$qdstamp" show "$windows/qdlauncher.exe" --out demo.qdcfg
    printf 'CFG_SPLASH = true\n' >> demo.qdcfg
    timeout 60 wine "$qdstamp" build --launcher "$windows/qdlauncher-bare.exe" --config demo.qdcfg \
        --out "$app/DemoApp.exe" --splash "$root/res/demo/splash.bmp"

    # The stand-in runtime signals its start, then waits for the release file.
    QDTEST_CHILD_ACTIONS=$(winepath -w "$work/actions.txt")
    export QDTEST_CHILD_ACTIONS
    printf 'touch %s\nwait-file %s\n' "$(winepath -w "$work/started")" "$(winepath -w "$work/release")" > actions.txt

    timeout 120 wine "$app/DemoApp.exe" &
    local launcher=$!
    local deadline=$((SECONDS + 60))
    until [ -e "$work/started" ]; do
        [ $SECONDS -lt $deadline ] || { echo "error: the demo application did not start" >&2; touch release; exit 1; }
        sleep 0.1
    done

    # The splash was shown before the runtime started; take the picture once
    # the screen's centre is no longer the empty black desktop.
    local shot=$root/build/splash-screenshot.png
    deadline=$((SECONDS + 20))
    while :; do
        import -window root "$shot"
        local centre
        centre=$(convert "$shot" -format '%[pixel:p{640,512}]' info:)
        case "$centre" in black|'srgb(0,0,0)') ;; *) break ;; esac
        [ $SECONDS -lt $deadline ] || { echo "error: no splash on the screen" >&2; touch release; exit 1; }
        sleep 0.2
    done

    touch release
    wait "$launcher"
    echo "splash screenshot: $shot"
}
export -f shoot
export root windows work app
tests/with-wine.sh "$work" bash -c shoot
