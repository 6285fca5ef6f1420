#!/usr/bin/env bash
# Switch-off under Wine with the real hooks: starts kes_switch_off.exe, holds F4 (a "latch" keeping H
# down), switches the engine off with the F12 master key, on again, latches again and switches off by a
# profile for another program (F11), then presses F9 and F12 to show both hooks still work. The program
# prints the switch-off times and judges; exit 0 when every check passed.
#
# Usage: run.sh [path/to/kes_switch_off.exe]   (default: $KES_WINDOWS_BUILD or build/windows)
set -euo pipefail
here=$(dirname "$(realpath "$0")")
root=$(realpath "$here/../../..")
exe=$(realpath -m "${1:-${KES_WINDOWS_BUILD:-$root/build/windows}/tests/programs/switch-off/kes_switch_off.exe}")
[ -f "$exe" ] || { echo "error: $exe does not exist" >&2; exit 2; }
. "$root/scripts/lib/xwine.sh"

output=$(mktemp)
program=""
finish() {
    kes_end_process "$program"
    kes_stop_xwine
    rm -f "$output"
}
trap finish EXIT
kes_use_xwine "$root/build/switch-off-wineprefix"

# wait_for PATTERN SECONDS: waits until the program printed a line matching PATTERN.
wait_for() {
    local tenths=$(($2 * 10))
    while ! grep -q "$1" "$output"; do
        if ! kill -0 "$program" 2>/dev/null; then
            echo "error: the program ended before printing \"$1\"" >&2
            return 1
        fi
        if ((tenths-- <= 0)); then
            echo "error: the program did not print \"$1\" within $2 s" >&2
            return 1
        fi
        sleep 0.1
    done
}

drive() {
    wait_for '^ready ' 60 || return 1
    local x y
    read -r _ x y < <(grep '^ready ' "$output")
    xdotool mousemove "$x" "$y" click 1
    sleep 0.5
    xdotool keydown F4
    wait_for '^latched 1' 20 || return 1
    sleep 0.3
    xdotool key F12
    wait_for '^switch-off by the F12' 20 || return 1
    xdotool keyup F4
    sleep 0.3
    xdotool key F12
    wait_for '^switched on' 20 || return 1
    xdotool keydown F4
    wait_for '^latched 2' 20 || return 1
    sleep 0.3
    xdotool key F11
    wait_for '^profile switched' 20 || return 1
    xdotool keyup F4
    sleep 0.3
    xdotool key F9
    sleep 0.3
    xdotool key F12
}

wine "$exe" >"$output" 2>&1 &
program=$!
drove=0
drive || drove=1

status=0
for _ in $(seq 300); do
    kill -0 "$program" 2>/dev/null || break
    sleep 0.1
done
if kill -0 "$program" 2>/dev/null; then
    echo "error: the program did not end within 30 s" >&2
    kes_end_process "$program"
    status=1
else
    wait "$program" || status=$?
fi
program=""

sed 's/^/  /' "$output"
if ((drove != 0 || status != 0)); then
    echo "switch-off: FAILED (program exit $status)"
    exit 1
fi
echo "switch-off under Wine: passed"
