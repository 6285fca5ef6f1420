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
. "$root/scripts/lib/driven-program.sh"
kes_driven_setup "$root/build/keyboard-e2e-wineprefix"

# press KEY SECONDS: the key goes down, stays down for SECONDS, comes up; then a quiet pause.
press() {
    xdotool keydown "$1"
    sleep "$2"
    xdotool keyup "$1"
    sleep 0.6
}

drive() {
    kes_wait_for '^ready ' 60 || return 1
    local x y
    read -r _ x y < <(grep '^ready ' "$kes_driven_output")
    xdotool mousemove "$x" "$y" click 1
    sleep 0.5

    press F1 0.4 # once
    press F2 0.8 # hold
    press e 0.8  # repeat
    press F4 0.8 # latch
    xdotool key F11
    kes_wait_for '^phase 2' 30 || return 1
    sleep 0.3

    press F1 0.3
    press F2 0.3
    press e 0.3
    press F4 0.3
    xdotool key F12
}

kes_driven_run "keyboard end-to-end" "$exe" drive 60
