#!/usr/bin/env bash
# The console launcher driven from Linux through pipes, as a script uses it,
# and on a pseudo-terminal, as from a terminal window; stamped by the Linux
# qdstamp, the child is the console stand-in runtime.
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

failed=0
check() { local what=$1; shift; "$@" || { echo "error: $what" >&2; failed=$((failed + 1)); }; }
same() { cmp -s "$1" <(printf "$2") || { od -c "$1" | head; false; }; }  # same <file> <printf format>
record() { iconv -f UTF-16LE -t UTF-8 "$work/record.txt" 2>/dev/null; }   # what the child recorded

work="$build/console-check"
app="$work/app"
rm -rf "$work"
mkdir -p "$app/jvm/bin"
cp "$build/fake_java.exe" "$app/jvm/bin/java.exe"
stamp() {  # stamp <name> <configuration lines besides the common ones...>
    local name=$1
    shift
    printf '%s\n' "MSG_STARTUP_ERROR = The tool could not start." "CFG_WORK_DIR = ." "CFG_CLASSPATH = lib" \
        "CFG_MAIN_CLASS = com.example.tool.Main" "FILE_VERSION = 1.0.0.0" "$@" >"$work/$name.qdcfg"
    "$qdstamp" build --launcher "$build/qdlauncher-console-bare.exe" --config "$work/$name.qdcfg" \
        --out "$app/$name.exe" || exit 1
}
stamp tool "CFG_RUNTIME_DIR = jvm"
stamp nojvm "CFG_RUNTIME_DIR = missing" "MSG_RUNTIME_DIR_ERROR = No runtime." "CFG_HELP_URL = https://example.com/help"
stamp single "CFG_RUNTIME_DIR = jvm" "CFG_MUTEX = QdConsoleCheck" "CFG_ERROR_TITLE = Single Tool"
stamp lowmem "CFG_RUNTIME_DIR = jvm" "CFG_MIN_HEAP_MB = 0" "CFG_PREFERRED_HEAP_MB = 2147483647"

QDTEST_CHILD_RECORD=$(winepath -w "$work/record.txt")
QDTEST_CHILD_ACTIONS=$(winepath -w "$work/actions.txt")
export QDTEST_CHILD_RECORD QDTEST_CHILD_ACTIONS
actions() { printf '%s\n' "$@" >"$work/actions.txt"; rm -f "$work/record.txt"; }
# A launcher that waited on a message box would end only at the deadline (124).
run() { local exe=$1; shift; timeout 60 wine "$app/$exe.exe" "$@"; }

# Standard input reaches the child and its outputs come back; --qd-stdout
# changes nothing, and no capture file is made.
capture_files() { find "$WINEPREFIX/drive_c" -name 'Q[DO]_*.tmp' | sort; }
before=$(capture_files)
actions 'stdin-to-stdout' 'stderr from the child'
printf 'first line\nsecond line\n' | run tool --qd-stdout "two words" >"$work/out" 2>"$work/err"
check "pipes: exit status $?" test $? -eq 0
check "pipes: standard output" same "$work/out" 'first line\nsecond line\n'
check "pipes: standard error" same "$work/err" 'from the child\n'
check "pipes: the child's command line" grep -q ' "two words"$' <(record | grep '^commandline=')
check "pipes: capture files were made" test "$before" = "$(capture_files)"

# A report: the text a box would show, then the help page, on standard error.
actions
run nojvm </dev/null >"$work/out" 2>"$work/err"
check "report: exit status $?" test $? -eq 1
check "report: standard error" same "$work/err" 'No runtime.\r\nhttps://example.com/help\r\n'
check "report: standard output is not empty" test ! -s "$work/out"

# Another instance: one line, exit 2, while the first runs on.
actions "touch $(winepath -w "$work/started")" "wait-file $(winepath -w "$work/release")"
run single </dev/null >/dev/null 2>&1 &
first=$!
for _ in $(seq 1 300); do [ -e "$work/started" ] && break; sleep 0.1; done
run single </dev/null >"$work/out" 2>"$work/err"
check "instance: exit status $?" test $? -eq 2
check "instance: standard error" same "$work/err" 'Single Tool: another instance is already running.\r\n'
touch "$work/release"
wait "$first"
check "instance: the first one's exit status $?" test $? -eq 0

# Little memory and no console: no question (the "y" on the pipe is not taken
# for an answer), one line, and the launch goes on.
actions
printf 'y\n' | run lowmem >"$work/out" 2>"$work/err"
check "memory: exit status $?" test $? -eq 0
check "memory: standard error" same "$work/err" \
    'QDLauncher: little free memory; not asked, as there is no console to answer on: the launch goes on.\r\n'
check "memory: the child did not start" test -e "$work/record.txt"

# Little memory on a terminal: Wine's console serves the pseudo-terminal as
# a console, so the question is asked there. Typed text goes in once the
# question is shown and the console reads the terminal (Wine's console sets
# it to raw input then; typed earlier, Enter would arrive as a line feed), the
# child's input once the child has recorded its start. The terminal's text
# goes to $work/tty, the child's output to $work/out.
on_terminal() {  # on_terminal <answer> <typed for the child>
    timeout 60 python3 - "$app/lowmem.exe" "$1" "$2" "$work/record.txt" "$work/tty" "$work/out" <<'EOF'
import os, pty, select, sys, termios
exe, answer, more, record, tty, out = sys.argv[1:]
pid, fd = pty.fork()
if pid == 0:
    os.dup2(os.open(out, os.O_WRONLY | os.O_CREAT | os.O_TRUNC), 1)
    os.execvp("wine", ["wine", exe])
text = b""
while True:
    if answer and b"[y/N]" in text and not termios.tcgetattr(fd)[3] & termios.ICANON:
        os.write(fd, answer.encode()); answer = ""
    if more and not answer and os.path.exists(record):
        os.write(fd, more.encode()); more = ""
    if select.select([fd], [], [], 0.05)[0]:
        try: chunk = os.read(fd, 4096)
        except OSError: break  # the terminal's last user has gone
        if not chunk: break
        text += chunk
open(tty, "wb").write(text)
sys.exit(os.waitstatus_to_exitcode(os.waitpid(pid, 0)[1]))
EOF
}
# The answer is longer than the launcher's reads, and the child reads once:
# what the launcher left of the answer would reach the child first.
actions 'stdin-read-to-stdout'
on_terminal "yes, $(printf 'long answer %.0s' {1..8})"$'\r' $'for the child\r'
check "terminal, yes: exit status $?" test $? -eq 0
check "terminal: no question" grep -qF '[y/N]' "$work/tty"
check "terminal, yes: the child's command line" grep -q '" com.example.tool.Main$' <(record | grep '^commandline=')
check "terminal, yes: the child's input" same "$work/out" 'for the child\r\n'
actions
on_terminal $'\r' ''
check "terminal, no: exit status $?" test $? -eq 1
check "terminal, no: the report" grep -qF 'The tool could not start.' "$work/tty"
check "terminal, no: the child started" test ! -e "$work/record.txt"

echo "console-launcher-check: $failed failed"
[ "$failed" -eq 0 ]
