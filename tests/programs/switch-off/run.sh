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
. "$root/scripts/lib/driven-program.sh"
kes_driven_setup "$root/build/switch-off-wineprefix"

drive() {
    kes_wait_for '^ready ' 60 || return 1
    local x y
    read -r _ x y < <(grep '^ready ' "$kes_driven_output")
    xdotool mousemove "$x" "$y" click 1
    sleep 0.5
    xdotool keydown F4
    kes_wait_for '^latched 1' 20 || return 1
    sleep 0.3
    xdotool key F12
    kes_wait_for '^switch-off by the F12' 20 || return 1
    xdotool keyup F4
    sleep 0.3
    xdotool key F12
    kes_wait_for '^switched on' 20 || return 1
    xdotool keydown F4
    kes_wait_for '^latched 2' 20 || return 1
    sleep 0.3
    xdotool key F11
    kes_wait_for '^profile switched' 20 || return 1
    xdotool keyup F4
    sleep 0.3
    xdotool key F9
    sleep 0.3
    xdotool key F12
}

kes_driven_run "switch-off under Wine" "$exe" drive 30
