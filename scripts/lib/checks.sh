# Named checks for the program-level test scripts (tests/cli, tests/programs/*/run.sh).
#
#   pass NAME                    prints "PASS NAME"
#   fail NAME [WHY]              prints "FAIL NAME: WHY" and counts the failure
#   expect NAME COMMAND...       pass or fail by the command's exit status
#   wait_until SECONDS COMMAND...  polls the command every 0.1 s until it succeeds; fails after SECONDS
#   windows_path PATH            the Wine drive path (Z:\...) of a Linux path
#   kes_checks_verdict NAME      prints "NAME: passed" or "NAME: N FAILED"; its status is 0 only without failures
#   kes_require_files FILE...    exits 2 with a clear message when a program to test was not built

kes_checks=0
kes_failures=0

pass() {
    kes_checks=$((kes_checks + 1))
    echo "PASS $1"
}

fail() {
    kes_checks=$((kes_checks + 1))
    kes_failures=$((kes_failures + 1))
    echo "FAIL $1${2:+: $2}"
}

expect() {
    local name=$1
    shift
    if "$@"; then pass "$name"; else fail "$name"; fi
}

wait_until() {
    local tenths=$(($1 * 10))
    shift
    until "$@"; do
        ((tenths-- <= 0)) && return 1
        sleep 0.1
    done
}

windows_path() { echo "Z:$(echo "$1" | tr / '\\')"; }

kes_checks_verdict() {
    if ((kes_failures != 0)); then
        echo "$1: $kes_failures of $kes_checks checks FAILED"
        return 1
    fi
    echo "$1: passed ($kes_checks checks)"
}

kes_require_files() {
    local file
    for file in "$@"; do
        [ -f "$file" ] || { echo "error: $file does not exist (build it first)" >&2; exit 2; }
    done
}
