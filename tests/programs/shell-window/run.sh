#!/usr/bin/env bash
# The main window, tray, close prompt and hotkeys under Wine: runs kes_shell_window.exe, which checks the
# window procedure, the tray icon and its menu, the close prompt and the hotkey registrations by itself,
# then clicks into its window and presses real keys with xdotool: F12 (held), Ctrl+F12, F12 again as the
# master switch hotkey, and Ctrl+Shift+F6 to F9 as the sampler's markers.
#
# Usage: run.sh [Windows build directory]   (default: $KES_WINDOWS_BUILD, else build/windows)
# Uses DISPLAY and WINEPREFIX when both are set (scripts/test sets them); otherwise it starts its own
# Xvfb and uses the prefix build/shell-wineprefix.
set -euo pipefail
here=$(dirname "$(realpath "$0")")
root=$(realpath "$here/../../..")
build=$(realpath -m "${1:-${KES_WINDOWS_BUILD:-$root/build/windows}}")
exe="$build/tests/programs/shell-window/kes_shell_window.exe"
. "$root/scripts/lib/xwine.sh"
. "$root/scripts/lib/checks.sh"
kes_require_files "$exe"

scratch=$(mktemp -d)
output="$scratch/output.txt"
ready="$scratch/ready.txt"
program=""
finish() {
    kes_end_process "$program"
    kes_stop_xwine
    rm -rf "$scratch"
}
trap finish EXIT

kes_use_xwine "$root/build/shell-wineprefix"

winScratch=$(windows_path "$scratch")
timeout 300 wine "$exe" "$winScratch" "$winScratch\\ready.txt" >"$output" 2>&1 &
program=$!

waited=0
while [ ! -s "$ready" ]; do
    if ! kill -0 "$program" 2>/dev/null || ((waited >= 1800)); then
        cat "$output"
        echo "error: the program did not become ready for key presses" >&2
        exit 1
    fi
    sleep 0.1
    waited=$((waited + 1))
done
read -r _ x y <"$ready"
xdotool mousemove "$x" "$y" click 1
sleep 0.5
xdotool keydown F12
sleep 0.6
xdotool keyup F12
sleep 0.4
xdotool key ctrl+F12
sleep 0.4
xdotool key F12
sleep 0.4
for key in F6 F7 F8 F9; do
    xdotool key "ctrl+shift+$key"
    sleep 0.4
done

status=0
wait "$program" || status=$?
program=""
cat "$output"
if ((status != 0)); then
    echo "shell-window: FAILED (exit $status)"
    exit 1
fi
echo "shell-window: passed"
