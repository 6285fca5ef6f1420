#!/usr/bin/env bash
# Mouse-trigger end-to-end test under Wine: starts kes_mouse_e2e.exe, clicks into its edit control, then
# presses real mouse buttons with xdotool: the middle button (X button 2) held, the side buttons (8 and 9),
# button 9 again with Shift held, then F11 (the macros now belong to another program) and the same clicks,
# then F12. The program judges what its hooks and its edit control saw and exits 0 when all passed.
#
# Usage: run.sh [path/to/kes_mouse_e2e.exe]   (default: $KES_WINDOWS_BUILD or build/windows)
set -euo pipefail
here=$(dirname "$(realpath "$0")")
root=$(realpath "$here/../../..")
exe=$(realpath -m "${1:-${KES_WINDOWS_BUILD:-$root/build/windows}/tests/programs/mouse-e2e/kes_mouse_e2e.exe}")
. "$root/scripts/lib/checks.sh"
kes_require_files "$exe"
. "$root/scripts/lib/driven-program.sh"
kes_driven_setup "$root/build/mouse-e2e-wineprefix"

# click BUTTON: the button goes down and comes up, then a quiet pause.
click() {
    xdotool mousedown "$1"
    sleep 0.1
    xdotool mouseup "$1"
    sleep 0.5
}

drive() {
    kes_wait_for '^ready ' 60 || return 1
    local x y
    read -r _ x y < <(grep '^ready ' "$kes_driven_output")
    xdotool mousemove "$x" "$y" click 1
    sleep 0.5

    xdotool mousedown 2 # the middle button held: "hold"
    sleep 0.6
    xdotool mouseup 2
    sleep 0.5
    click 8 # side button 1: "once"
    click 9 # side button 2 without Shift: not its trigger
    xdotool keydown shift
    sleep 0.2
    click 9
    xdotool keyup shift
    sleep 0.3
    xdotool key F11
    kes_wait_for '^phase 2' 30 || return 1
    sleep 0.3

    click 2
    click 8
    click 9
    xdotool key F12
}

kes_driven_run "mouse end-to-end under Wine" "$exe" drive 60
