#!/usr/bin/env bash
# Builds and runs the benchmarks under Wine and prints their figures:
#   startup  - the start-up overhead of the launcher and of the console launcher
#              over starting the runtime directly
#   capture  - error-output capture throughput against writing straight to a file
#   size     - the launchers' sizes and the DLLs they import
#
#   bench/run.sh [startup|capture|size|all] (default all)
set -euo pipefail
cd "$(dirname "$0")/.."
which=${1:-all}

cmake --preset windows >/dev/null
cmake --build --preset windows --target benchmarks qdlauncher qdlauncher-bare qdlauncher-console >/dev/null

work=build/bench-work
rm -rf "$work"
mkdir -p "$work/startup/jvm/bin" "$work/startup/lib" "$work/capture/jvm/bin" "$work/capture/lib" \
    "$work/startup-console/jvm/bin" "$work/startup-console/lib"
cp build/windows/qdlauncher.exe "$work/startup/tool.exe"
cp build/windows/bench/gui_stub.exe "$work/startup/jvm/bin/javaw.exe"
cp build/windows/qdlauncher-console.exe "$work/startup-console/tool.exe"
cp build/windows/bench/console_stub.exe "$work/startup-console/jvm/bin/java.exe"
cp build/windows/qdlauncher.exe "$work/capture/tool.exe"
cp build/windows/fake_javaw.exe "$work/capture/jvm/bin/javaw.exe"

if [ "$which" = all ] || [ "$which" = size ]; then
    for exe in qdlauncher.exe qdlauncher-console.exe; do
        size=$(stat -c %s "build/windows/$exe")
        echo "size: $exe $size bytes ($((size / 1024)) KiB; goal at most 64 KiB)"
        echo "size: $exe imports: $(x86_64-w64-mingw32-objdump -p "build/windows/$exe" | awk '/DLL Name:/ {printf "%s ", $3}')"
    done
fi

run_wine_benchmarks() {
    local bench_dir app_startup app_console app_capture
    bench_dir=$(winepath -w build/windows/bench)
    app_startup=$(winepath -w "$work/startup")
    app_console=$(winepath -w "$work/startup-console")
    app_capture=$(winepath -w "$work/capture")
    if [ "$which" = all ] || [ "$which" = startup ]; then
        wine "$bench_dir\\bench_startup.exe" "$app_startup" 40
        wine "$bench_dir\\bench_startup.exe" "$app_console" 40 java.exe
    fi
    if [ "$which" = all ] || [ "$which" = capture ]; then
        wine "$bench_dir\\bench_capture.exe" "$app_capture" 256 3
    fi
}
export -f run_wine_benchmarks
export work which
if [ "$which" != size ]; then tests/with-wine.sh "$work" bash -c run_wine_benchmarks; fi
