#!/usr/bin/env bash
# The main job: installs the tools, builds the launcher and qdstamp, stamps the
# demo application's configuration (the shipped one, res/demo/DemoApp.qdcfg)
# into the record-free launcher, runs it under Wine on a demo application
# folder, then shows what the (stand-in) Java runtime received and what the
# launcher logged.
#
#   DemoApp/DemoApp.exe            the launcher, stamped by qdstamp
#   DemoApp/jvm/bin/javaw.exe      a stand-in runtime that records its start
#   DemoApp/lib/*.jar              the application's classpath
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" != "--no-install" ]; then tools/install-deps.sh; fi
cmake --preset windows
cmake --build --preset windows --target qdlauncher-bare fake_javaw
cmake --preset host
cmake --build --preset host --target qdstamp
qdstamp=build/host/tools/qdstamp/qdstamp

demo=build/demo
app=$demo/DemoApp
rm -rf "$app"
mkdir -p "$app/jvm/bin" "$app/lib"
"$qdstamp" build --launcher build/windows/qdlauncher-bare.exe --config res/demo/DemoApp.qdcfg --out "$app/DemoApp.exe"
echo "== the configuration stamped into $app/DemoApp.exe"
"$qdstamp" show "$app/DemoApp.exe" | grep -v '^#' | grep -v '^$'
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
