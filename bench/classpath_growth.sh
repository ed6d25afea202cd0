#!/usr/bin/env bash
# Builds the classpath benchmark and runs it under Wine: the time to prepare
# the child's command line for 200 and for 2000 wildcard-matched jars, and
# their ratio. Prints figures only.
#
#   bench/classpath_growth.sh
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset windows >/dev/null
cmake --build --preset windows --target classpath_bench
tests/with-wine.sh build/windows wine build/windows/classpath_bench.exe
