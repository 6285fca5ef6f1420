#!/usr/bin/env bash
# Program-level checks of the command-line modes that need no window, for both builds: the native
# `kestrava` and `Kestrava.exe` under Wine. Each run gets a fresh data root whose path holds spaces and
# Chinese characters.
#
#   tests/cli/run-cli-tests.sh [NATIVE_BUILD_DIR] [WINDOWS_BUILD_DIR]
#
# The directories default to $KES_NATIVE_BUILD and $KES_WINDOWS_BUILD, then build/native and
# build/windows; "none" leaves that build out. Wine runs in $WINEPREFIX when it is set, else in a prefix
# of its own (build/cli-wineprefix). Exit status 0 only when every check passed.
set -uo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
native=${1:-${KES_NATIVE_BUILD:-build/native}}
windows=${2:-${KES_WINDOWS_BUILD:-build/windows}}
licenses=$root/NativeHost/resources/licenses.txt
export LANG=C.UTF-8 LC_ALL=C.UTF-8 # Chinese paths reach Wine through the environment
. scripts/lib/xwine.sh
. scripts/lib/checks.sh

work=$(mktemp -d "/tmp/kes cli 检查 XXXXXX")
cleanup() {
    rm -rf "$work"
    kes_stop_xwine
}
trap cleanup EXIT

expected_report=$work/expected-report.json
printf '%s' '{
  "configuration": true,
  "modes": 4,
  "realKeysSent": false,
  "recursiveInputIgnored": true,
  "releaseOnStop": true,
  "result": "通过"
}' >"$expected_report"

# run_program KIND DATA_ROOT ARGS...: runs one build with the data root ("-" unsets the variable, "" sets
# it empty); standard output goes to $work/stdout; returns the program's exit code.
run_program() {
    local kind=$1 dataRoot=$2
    shift 2
    local program
    local environment=()
    if [ "$dataRoot" = - ]; then
        environment=(env -u KESTRAVA_DATA_ROOT)
    elif [ "$kind" = windows ] && [ -n "$dataRoot" ]; then
        environment=(env "KESTRAVA_DATA_ROOT=Z:${dataRoot//\//\\}")
    else
        environment=(env "KESTRAVA_DATA_ROOT=$dataRoot")
    fi
    if [ "$kind" = windows ]; then
        timeout 300 "${environment[@]}" wine "$windows/Kestrava.exe" "$@" >"$work/stdout" 2>"$work/stderr"
    else
        timeout 300 "${environment[@]}" "$native/kestrava" "$@" >"$work/stdout" 2>"$work/stderr"
    fi
}

exits_with() { # exits_with CODE KIND DATA_ROOT ARGS...
    local expected=$1
    shift
    run_program "$@"
    local actual=$?
    if ((actual != expected)); then
        echo "      exit code $actual, expected $expected; standard error:" >&2
        sed 's/^/      | /' "$work/stderr" >&2
        return 1
    fi
}

contains() { grep -qF -- "$2" "$1" 2>/dev/null; }

fresh_root() { # a data root that does not exist yet
    local name="$work/数据 根 $1"
    rm -rf "$name"
    printf '%s' "$name"
}

suite() { # suite KIND
    local kind=$1 dataRoot
    echo "== $kind"

    expect "$kind: --licenses exits 0 without a data root" exits_with 0 "$kind" - --licenses
    expect "$kind: --licenses writes resource 107 byte for byte" cmp -s "$work/stdout" "$licenses"
    expect "$kind: --licenses --check prints the notices and runs no check" exits_with 0 "$kind" - --licenses --check
    expect "$kind: ... the same bytes" cmp -s "$work/stdout" "$licenses"

    dataRoot=$(fresh_root "$kind-check")
    expect "$kind: --check in a fresh data root exits 0" exits_with 0 "$kind" "$dataRoot" --check
    expect "$kind: the report has its exact content" cmp -s "$dataRoot/Vantix自检.json" "$expected_report"
    expect "$kind: the start-up line is in the run log" contains "$dataRoot/logs/运行.log" "Vantix 主程序已启动"
    expect "$kind: the storage checks ran in the data root" test -f "$dataRoot/便携目录 中文 空格/Kestrava配置.json"
    expect "$kind: --check runs again in the same data root" exits_with 0 "$kind" "$dataRoot" --check
    expect "$kind: ... and writes the same report" cmp -s "$dataRoot/Vantix自检.json" "$expected_report"

    # With a check flag the fatal report shows no message box, so nothing waits for a person.
    dataRoot=$(fresh_root "$kind-failure")
    expect "$kind: --simulate-failure --check exits 1" exits_with 1 "$kind" "$dataRoot" --simulate-failure --check
    expect "$kind: ... with its message in the error log" \
        contains "$dataRoot/logs/错误.log" "] 已触发 Vantix 可控失败测试"
    expect "$kind: ... and the start-up line in the run log" contains "$dataRoot/logs/运行.log" "Vantix 主程序已启动"
    expect "$kind: ... without running the self-check" test ! -e "$dataRoot/Vantix自检.json"

    for mode in --check --startup-check --webview-dialog-check; do
        expect "$kind: $mode without the data root exits 1" exits_with 1 "$kind" - "$mode"
        expect "$kind: $mode with an empty data root exits 1" exits_with 1 "$kind" "" "$mode"
    done
}

if [ "$native" != none ]; then
    if [ -x "$native/kestrava" ]; then
        suite native
    else
        expect "native program $native/kestrava exists" false
    fi
fi

if [ "$windows" != none ]; then
    if [ -f "$windows/Kestrava.exe" ]; then
        kes_use_wine build/cli-wineprefix || exit 1
        suite windows
    else
        expect "Windows program $windows/Kestrava.exe exists" false
    fi
fi

kes_checks_verdict "command-line checks"
