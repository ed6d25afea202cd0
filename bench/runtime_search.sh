#!/usr/bin/env bash
# Builds the runtime-search benchmark and runs it under Wine: the time to
# search 30 registered runtimes of several vendors. Prints figures only.
#
#   bench/runtime_search.sh
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset windows >/dev/null
cmake --build --preset windows --target runtime_search_bench
tests/with-wine.sh build/windows wine build/windows/runtime_search_bench.exe
