#!/usr/bin/env bash
# The main job: installs the tools, builds the launcher and runs it under Wine
# on a demo application folder with the shipped configuration, then shows what
# the (stand-in) Java runtime received and what the launcher logged.
#
#   DemoApp/DemoApp.exe            the launcher, shipped configuration
#   DemoApp/jvm/bin/javaw.exe      a stand-in runtime that records its start
#   DemoApp/lib/*.jar              the application's classpath
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" != "--no-install" ]; then tools/install-deps.sh; fi
cmake --preset windows
cmake --build --preset windows --target qdlauncher fake_javaw

demo=build/demo
app=$demo/DemoApp
rm -rf "$app"
mkdir -p "$app/jvm/bin" "$app/lib"
cp build/windows/qdlauncher.exe "$app/DemoApp.exe"
cp build/windows/fake_javaw.exe "$app/jvm/bin/javaw.exe"
: > "$app/lib/common-ui.jar"
: > "$app/lib/demo-app.jar"

run_demo() {
    local record=$app/received.txt
    export QDTEST_CHILD_RECORD
    QDTEST_CHILD_RECORD=$(winepath -w "$record")
    set +e
    timeout 120 wine "$app/DemoApp.exe" --qd-debug report.xml
    local status=$?
    set -e
    echo "== launcher exit code: $status"
    echo "== what the Java runtime received"
    if [ -f "$record" ]; then
        iconv -f UTF-16LE -t UTF-8 "$record" | grep -E '^(exe|commandline|cwd|stdin|stdout|stderr)=|^env:(Path|PATH)='
    else
        echo "(the runtime was not started)"
    fi
    echo "== $app/qd-launch.log"
    tr -d '\r' < "$app/qd-launch.log"
    return $status
}
export -f run_demo
export app
tests/with-wine.sh "$demo" bash -c run_demo
