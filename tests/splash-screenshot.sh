#!/usr/bin/env bash
# Screenshots of the demo application's splash screen with transparency, to
# look at: once on a screen of 96 dpi (100 %) and once at 192 dpi (200 %).
#
# Makes a PNG with rounded, transparent corners from the demo picture
# (res/demo/splash.bmp) and one twice its size for 200 %, stamps them with the
# shipped configuration plus CFG_SPLASH into a copy of the record-free
# launcher with the Windows build of qdstamp, starts it under Wine on a
# virtual desktop of a known colour with a stand-in runtime that waits until
# it is released, photographs the screen and ends the run.
#
#   tests/splash-screenshot.sh   -> build/splash-screenshot-96dpi.png, build/splash-screenshot-192dpi.png
#
# Under Xvfb, Wine leaves out the fully transparent pixels but does not blend
# the half-transparent ones of the soft edge with the desktop (that takes a
# compositing desktop, as on Windows): the edge pixels show their stored,
# premultiplied colour.
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

# The demo picture with rounded corners, at 100 % and at 200 %.
rounded() { # <scale> <corner radius> <output>
    local size width height
    size=$(identify -format '%w %h' "$root/res/demo/splash.bmp")
    width=$(( ${size% *} * $1 / 100 )) height=$(( ${size#* } * $1 / 100 ))
    convert "$root/res/demo/splash.bmp" -resize "${width}x${height}!" \
        \( -size "${width}x${height}" xc:black -fill white \
           -draw "roundrectangle 0,0 $((width - 1)),$((height - 1)) $2,$2" \) \
        -alpha off -compose CopyOpacity -composite PNG32:"$3"
}
rounded 100 28 "$work/splash.png"
rounded 200 56 "$work/splash@2x.png"

desktop='224 214 196' # the virtual desktop's colour, as Wine's registry writes it

shoot() {
    set -euo pipefail
    local qdstamp=$windows/tools/qdstamp/qdstamp.exe
    cd "$work"
    timeout 60 wine "$qdstamp" show "$windows/qdlauncher.exe" --out demo.qdcfg
    printf 'CFG_SPLASH = true\n' >> demo.qdcfg
    timeout 60 wine "$qdstamp" build --launcher "$windows/qdlauncher-bare.exe" --config demo.qdcfg \
        --out "$app/DemoApp.exe" --splash splash.png --splash-2x 'splash@2x.png'
    wine reg add 'HKCU\Control Panel\Colors' /v Background /t REG_SZ /d "$desktop" /f >/dev/null

    # The stand-in runtime signals its start, then waits for the release file.
    QDTEST_CHILD_ACTIONS=$(winepath -w "$work/actions.txt")
    export QDTEST_CHILD_ACTIONS
    printf 'touch %s\nwait-file %s\n' "$(winepath -w "$work/started")" "$(winepath -w "$work/release")" > actions.txt

    local dpi
    for dpi in 96 192; do
        wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null
        rm -f started release
        timeout 120 wine explorer /desktop=splash,1280x1024 "$app/DemoApp.exe" &
        local launcher=$!
        local deadline=$((SECONDS + 60))
        until [ -e "$work/started" ]; do
            [ $SECONDS -lt $deadline ] || { echo "error: the demo application did not start" >&2; touch release; exit 1; }
            sleep 0.1
        done

        # The splash was shown before the runtime started; take the picture
        # once the screen's centre is no longer the empty desktop.
        local shot=$root/build/splash-screenshot-${dpi}dpi.png
        deadline=$((SECONDS + 20))
        while :; do
            import -window root "$shot"
            local centre
            centre=$(convert "$shot" -format '%[fx:int(255*p{640,512}.r)] %[fx:int(255*p{640,512}.g)] %[fx:int(255*p{640,512}.b)]' info:)
            [ "$centre" = "$desktop" ] || break
            [ $SECONDS -lt $deadline ] || { echo "error: no splash on the screen" >&2; touch release; exit 1; }
            sleep 0.2
        done

        touch release
        wait "$launcher"
        echo "splash screenshot at $dpi dpi: $shot"
    done
}
export -f shoot
export root windows work app desktop
tests/with-wine.sh "$work" bash -c shoot
