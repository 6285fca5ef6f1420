# A Windows test program under Wine that a script drives with real input (xdotool) while the program
# prints what it saw and judges itself (tests/programs/keyboard-e2e, tests/programs/switch-off).
#
#   kes_driven_setup PREFIX        the caller's DISPLAY and WINEPREFIX when both are set, else an own Xvfb
#                                  and the prefix PREFIX; ends the program and cleans up on exit
#   kes_wait_for PATTERN SECONDS   waits until the program printed a line matching PATTERN; fails when it
#                                  ended before or SECONDS passed
#   kes_driven_run NAME EXE DRIVE SECONDS
#                                  starts EXE, runs the function DRIVE, waits up to SECONDS for the program
#                                  to end, prints its output and "NAME: passed" or "NAME: FAILED"; its status
#                                  is 0 only when DRIVE and the program succeeded
#
# kes_driven_output is the file that collects the program's output.

. "$(dirname "${BASH_SOURCE[0]}")/xwine.sh"

kes_driven_output=""
kes_driven_program=""

kes_driven_finish() {
    kes_end_process "$kes_driven_program"
    kes_stop_xwine
    rm -f "$kes_driven_output"
}

kes_driven_setup() {
    kes_driven_output=$(mktemp)
    trap kes_driven_finish EXIT
    kes_use_xwine "$1"
}

kes_wait_for() {
    local tenths=$(($2 * 10))
    while ! grep -q "$1" "$kes_driven_output"; do
        if ! kill -0 "$kes_driven_program" 2>/dev/null; then
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

kes_driven_run() {
    local name=$1 exe=$2 drive=$3 seconds=$4
    wine "$exe" >"$kes_driven_output" 2>&1 &
    kes_driven_program=$!
    local drove=0 status=0
    "$drive" || drove=1

    local tenths=$((seconds * 10))
    while kill -0 "$kes_driven_program" 2>/dev/null && ((tenths-- > 0)); do
        sleep 0.1
    done
    if kill -0 "$kes_driven_program" 2>/dev/null; then
        echo "error: the program did not end within $seconds s" >&2
        kes_end_process "$kes_driven_program"
        status=1
    else
        wait "$kes_driven_program" || status=$?
    fi
    kes_driven_program=""

    sed 's/^/  /' "$kes_driven_output"
    if ((drove != 0 || status != 0)); then
        echo "$name: FAILED (program exit $status)"
        return 1
    fi
    echo "$name: passed"
}
