#!/usr/bin/env bash
# The launcher stamped on Linux by qdstamp: stamping twice gives the same
# bytes, and under Wine the stamped launcher carries exactly the stamped
# resources and runs with them (tests/e2e/stamped_launcher_test.cpp).
# Run inside tests/with-wine.sh (ctest does so).
#
#   tests/stamped-launcher-check.sh <qdstamp> <windows build dir>
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
qdstamp=$1
build=$2
if [ ! -x "$qdstamp" ]; then
    echo "skipped: no Linux qdstamp at $qdstamp (build the host tree first)"
    exit 77
fi

work="$build/stamped-check"
rm -rf "$work"
mkdir -p "$work"
stamp() {
    "$qdstamp" build --launcher "$build/qdlauncher-bare.exe" --config "$root/res/demo/DemoApp.qdcfg" \
        --icon "$root/res/qdlauncher.ico" --splash "$root/res/demo/splash.bmp" --out "$1"
}
stamp "$work/DemoApp.exe"
stamp "$work/DemoApp-again.exe"
cmp "$work/DemoApp.exe" "$work/DemoApp-again.exe"
echo "stamping twice gives identical files"

QDTEST_STAMPED_LAUNCHER=$(winepath -w "$work/DemoApp.exe") wine "$build/e2e_tests.exe" --gtest_filter='StampedLauncherTest.*'
