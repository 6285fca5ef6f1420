#!/usr/bin/env bash
# Keyboard end-to-end test under Wine: starts kes_keyboard_e2e.exe, clicks into its edit control, then
# presses real keys with xdotool (down, hold, up): F1 (once), F2 (hold), E (repeat) and F4 (latch) with
# the macros bound to the program itself, F11, the same keys with the macros bound to another program,
# and F12. The program judges what its hooks and its edit control saw and exits 0 when all passed.
#
# Usage: run.sh path/to/kes_keyboard_e2e.exe
# Uses DISPLAY and WINEPREFIX when both are set (scripts/test sets them); otherwise it starts its own
# Xvfb and uses the prefix build/keyboard-e2e-wineprefix.
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: $0 path/to/kes_keyboard_e2e.exe" >&2; exit 2; }
exe=$(realpath "$1")
[ -f "$exe" ] || { echo "error: $exe does not exist" >&2; exit 2; }
here=$(dirname "$(realpath "$0")")
root=$(realpath "$here/../../..")
. "$root/scripts/lib/xwine.sh"

output=$(mktemp)
program=""
finish() {
    kes_end_process "$program"
    kes_stop_xwine
    rm -f "$output"
}
trap finish EXIT

kes_use_xwine "$root/build/keyboard-e2e-wineprefix"

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

# press KEY SECONDS: the key goes down, stays down for SECONDS, comes up; then a quiet pause.
press() {
    xdotool keydown "$1"
    sleep "$2"
    xdotool keyup "$1"
    sleep 0.6
}

drive() {
    wait_for '^ready ' 60 || return 1
    local x y
    read -r _ x y < <(grep '^ready ' "$output")
    xdotool mousemove "$x" "$y" click 1
    sleep 0.5

    press F1 0.4 # once
    press F2 0.8 # hold
    press e 0.8  # repeat
    press F4 0.8 # latch
    xdotool key F11
    wait_for '^phase 2' 30 || return 1
    sleep 0.3

    press F1 0.3
    press F2 0.3
    press e 0.3
    press F4 0.3
    xdotool key F12
}

wine "$exe" >"$output" 2>&1 &
program=$!
drove=0
drive || drove=1

status=0
for _ in $(seq 600); do
    kill -0 "$program" 2>/dev/null || break
    sleep 0.1
done
if kill -0 "$program" 2>/dev/null; then
    echo "error: the program did not end within 60 s after F12" >&2
    kill "$program" 2>/dev/null || true
    wait "$program" 2>/dev/null || true
    status=1
else
    wait "$program" || status=$?
fi
program=""

sed 's/^/  /' "$output"
if ((drove != 0 || status != 0)); then
    echo "keyboard end-to-end: FAILED (program exit $status)"
    exit 1
fi
echo "keyboard end-to-end: passed"
