#!/usr/bin/env bash
# The console launcher driven from Linux through pipes, as a script uses it:
# standard input reaches the child and its output comes back; a report arrives
# on standard error (exit 1) and no window holds the run; another instance
# prints its line (exit 2); the low-memory question is not asked without a
# console. Launchers are stamped by the Linux qdstamp from the record-free
# console launcher; the child is the console stand-in runtime (fake_java.exe).
# Run inside tests/with-wine.sh (ctest does so).
#
#   tests/console-launcher-check.sh <qdstamp> <windows build dir>
set -uo pipefail
qdstamp=$1
build=$(realpath "$2")
if [ ! -x "$qdstamp" ]; then
    echo "skipped: no Linux qdstamp at $qdstamp (build the host tree first)"
    exit 77
fi

passed=0
failed=0
check() {  # check <description> <command...>
    local what=$1
    shift
    if "$@"; then
        passed=$((passed + 1))
    else
        echo "error: $what" >&2
        failed=$((failed + 1))
    fi
}
same_bytes() {  # same_bytes <file> <expected text, printf format>
    local expected
    expected=$(mktemp)
    # shellcheck disable=SC2059
    printf "$2" >"$expected"
    cmp -s "$1" "$expected" || { echo "--- $1:"; od -c "$1" | head -20; }
    cmp -s "$1" "$expected"
    local same=$?
    rm -f "$expected"
    return $same
}
# The stand-in child's record is UTF-16LE text.
record() { iconv -f UTF-16LE -t UTF-8 "$work/record.txt" 2>/dev/null; }
record_has() { record | grep -qF -- "$1"; }

work="$build/console-check"
rm -rf "$work"
app="$work/app"
mkdir -p "$app/jvm/bin" "$app/lib"
cp "$build/fake_java.exe" "$app/jvm/bin/java.exe"

# Every launcher: a classpath form, plus the lines of its case (the bundled
# stand-in runtime for all but one).
stamp() {  # stamp <name> <extra configuration lines>
    cat >"$work/$1.qdcfg" <<CONFIG
MSG_STARTUP_ERROR = The tool could not start.
CFG_WORK_DIR = .
CFG_CLASSPATH = lib
CFG_MAIN_CLASS = com.example.tool.Main
FILE_VERSION = 1.0.0.0
PRODUCT_NAME = Tool
FILE_DESCRIPTION = Tool
$2
CONFIG
    "$qdstamp" build --launcher "$build/qdlauncher-console-bare.exe" --config "$work/$1.qdcfg" \
        --out "$app/$1.exe" || exit 1
}
stamp tool "CFG_RUNTIME_DIR = jvm"
stamp nojvm "CFG_RUNTIME_DIR = missing
MSG_RUNTIME_DIR_ERROR = The bundled Java runtime is missing.
CFG_HELP_URL = https://example.com/help"
stamp single "CFG_RUNTIME_DIR = jvm
CFG_MUTEX = QdConsoleCheck
CFG_ERROR_TITLE = Single Tool"
stamp lowmem "CFG_RUNTIME_DIR = jvm
CFG_MIN_HEAP_MB = 0
CFG_PREFERRED_HEAP_MB = 2147483647"

QDTEST_CHILD_RECORD=$(winepath -w "$work/record.txt")
QDTEST_CHILD_ACTIONS=$(winepath -w "$work/actions.txt")
export QDTEST_CHILD_RECORD QDTEST_CHILD_ACTIONS
actions() { printf '%s\n' "$@" >"$work/actions.txt"; rm -f "$work/record.txt"; }
# A launcher that waited on a window (a message box) would hold the run until
# this deadline: its status would be 124.
run() {  # run <launcher> [arguments...] <stdin >stdout 2>stderr
    local exe=$1
    shift
    timeout 60 wine "$app/$exe.exe" "$@"
}
capture_files() { find "$WINEPREFIX/drive_c" -name 'Q[DO]_*.tmp' 2>/dev/null | sort; }

# Standard input reaches the child, its output comes back; --qd-stdout changes
# nothing and no capture file is made.
actions 'stdin-to-stdout' 'stderr from the child'
before=$(capture_files)
printf 'first line\nsecond line\n' | run tool --qd-stdout "two words" >"$work/out" 2>"$work/err"
status=$?
check "pipes: exit status $status, not 0" test "$status" -eq 0
check "pipes: standard input did not come back on standard output" same_bytes "$work/out" 'first line\nsecond line\n'
check "pipes: the child's error output did not come back" same_bytes "$work/err" 'from the child\n'
check "pipes: the child did not get the user's argument" record_has ' "two words"'
check "pipes: --qd-stdout reached the child" test -z "$(record | grep -F -- --qd-stdout)"
check "pipes: the child is not java.exe" record_has "exe=$(winepath -w "$app/jvm/bin/java.exe")"
check "pipes: capture files were made" test "$before" = "$(capture_files)"

# A report: the text a box would show and the help page, on standard error.
actions
run nojvm </dev/null >"$work/out" 2>"$work/err"
status=$?
check "report: exit status $status, not 1" test "$status" -eq 1
check "report: not the expected text on standard error" \
    same_bytes "$work/err" 'The bundled Java runtime is missing.\r\nhttps://example.com/help\r\n'
check "report: something on standard output" test ! -s "$work/out"
check "report: a child was started" test ! -e "$work/record.txt"

# Another instance: one line, exit 2; the first instance runs on.
actions "touch $(winepath -w "$work/started")" "wait-file $(winepath -w "$work/release")"
rm -f "$work/started" "$work/release"
run single </dev/null >/dev/null 2>"$work/first-err" &
first=$!
for _ in $(seq 1 300); do [ -e "$work/started" ] && break; sleep 0.1; done
check "instance: the first instance's child did not start" test -e "$work/started"
run single </dev/null >"$work/out" 2>"$work/err"
status=$?
check "instance: exit status $status, not 2" test "$status" -eq 2
check "instance: not the expected line" same_bytes "$work/err" 'Single Tool: another instance is already running.\r\n'
touch "$work/release"
wait "$first"
status=$?
check "instance: the first instance ended with $status, not 0" test "$status" -eq 0

# Little memory and no console: no question, one line, the launch goes on.
actions
printf 'y\n' | run lowmem >"$work/out" 2>"$work/err"
status=$?
check "memory: exit status $status, not 0" test "$status" -eq 0
check "memory: not the expected line" same_bytes "$work/err" \
    'QDLauncher: little free memory; not asked, as there is no console to answer on: the launch goes on.\r\n'
check "memory: the child did not start" test -e "$work/record.txt"

echo "console-launcher-check: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
