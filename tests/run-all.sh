#!/usr/bin/env bash
# Installs the tools, builds both trees and runs every test:
#   - host tree (Linux): qdstamp and its tests under AddressSanitizer/UBSan;
#   - Windows tree (MinGW-w64): both launchers, GUI and console, with their
#     unit and end-to-end tests under Wine (the console launcher also driven
#     from Linux through pipes and a pseudo-terminal), with a fresh Wine
#     prefix and an Xvfb display of their own;
#   - the release archives of both trees (package targets) and their check.
# Ends with the test runner's summary; the exit code is non-zero when any
# test failed.
set -uo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh || exit 1

cmake --preset windows && cmake --build --preset windows || exit 1
cmake --preset host && cmake --build --preset host || exit 1

ctest --preset host --parallel 2
host_status=$?

tests/with-wine.sh build/windows ctest --preset windows
windows_status=$?

cmake --build --preset windows --target package && cmake --build --preset host --target package &&
    tests/package-check.sh build/windows build/host
package_status=$?

[ $host_status -eq 0 ] && [ $windows_status -eq 0 ] && [ $package_status -eq 0 ]
