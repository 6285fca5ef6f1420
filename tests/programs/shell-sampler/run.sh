#!/usr/bin/env bash
# The performance sampler's real Win32 process source under Wine: starts copies of a sleeper named
# DNF.exe and mydnf.exe, then kes_sampler_probe.exe, which samples and judges what it saw.
#
# Usage: run.sh [Windows build directory]   (default: $KES_WINDOWS_BUILD, else build/windows)
# Uses WINEPREFIX when set (scripts/test sets it); otherwise the prefix build/shell-wineprefix. No display
# is needed.
set -euo pipefail
here=$(dirname "$(realpath "$0")")
root=$(realpath "$here/../../..")
build=$(realpath -m "${1:-${KES_WINDOWS_BUILD:-$root/build/windows}}")
programs="$build/tests/programs/shell-sampler"
. "$root/scripts/lib/xwine.sh"
. "$root/scripts/lib/checks.sh"
kes_require_files "$programs/kes_sampler_probe.exe" "$programs/kes_sampler_sleeper.exe"

scratch=$(mktemp -d)
sleepers=()
finish() {
    touch "$scratch/stop"
    for pid in "${sleepers[@]}"; do
        wait "$pid" 2>/dev/null || true
    done
    kes_stop_xwine
    rm -rf "$scratch"
}
trap finish EXIT

kes_use_wine "$root/build/shell-wineprefix"

cp "$programs/kes_sampler_sleeper.exe" "$scratch/DNF.exe"
cp "$programs/kes_sampler_sleeper.exe" "$scratch/mydnf.exe"
wine "$scratch/DNF.exe" &
sleepers+=($!)
wine "$scratch/mydnf.exe" &
sleepers+=($!)
sleep 2

winScratch=$(windows_path "$scratch")
status=0
timeout 120 wine "$programs/kes_sampler_probe.exe" "$winScratch" || status=$?
if ((status != 0)); then
    echo "shell-sampler: FAILED (exit $status)"
    exit 1
fi
echo "shell-sampler: passed"
