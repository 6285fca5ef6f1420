#!/usr/bin/env bash
# "--startup-check" of the product Kestrava.exe end to end under Wine, with our WebView2 client library
# installed as the Evergreen runtime is and a headless Chromium behind it (see run.sh):
#   with a stored state (and an old report in the data folder) the real page checks itself, the host adds its
#     window checks, "启动验收.json" is written anew with every member true and the exit code is 0;
#   a stored state with the macros switched on fails the page's "macroDisabled": the report says so and the
#     exit code is 1;
#   a navigation that fails (the stand-in fails the page's document on purpose) exits 1, logs "网页导航失败"
#     and leaves no report;
#   each run's COM report is clean.
#
# Usage: run-startup-check.sh [Windows build directory]   (default: $KES_WINDOWS_BUILD, else build/windows)
# Uses DISPLAY when set (scripts/test sets it), else starts its own Xvfb; always its own Wine prefix.
set -uo pipefail
here=$(dirname "$(realpath "$0")")
root=$(realpath "$here/../../..")
build=$(realpath -m "${1:-${KES_WINDOWS_BUILD:-$root/build/windows}}")
exe="$build/Kestrava.exe"
library="$build/tests/programs/webview2-standin/EmbeddedBrowserWebView.dll"
. "$root/scripts/lib/xwine.sh"
. "$root/scripts/lib/checks.sh"
. "$here/standin.sh"
kes_require_files "$exe" "$library"

scratch=$(mktemp -d)
finish() {
    standin_finish
    rm -rf "$scratch"
}
trap finish EXIT
standin_environment "$scratch" || exit 1

# run_check NAME [VARIABLE=VALUE...]: one start-up check in the data folder $scratch/NAME; sets $code.
code=""
run_check() {
    local name=$1
    shift
    mkdir -p "$scratch/$name"
    env "$@" KESTRAVA_DATA_ROOT="$(windows_path "$scratch/$name")" \
        KES_WEBVIEW2_REPORT="$(windows_path "$scratch/$name-com.json")" \
        timeout 120 wine "$exe" --startup-check
    code=$?
}
report_members() { # report_members FILE: the members that are not true, or "ok"
    node -e '
        const report = JSON.parse(require("fs").readFileSync(process.argv[1], "utf8"));
        const members = ["title", "fonts", "controls", "macroDisabled", "demoDisabled", "apiSave", "apiWindows",
                         "nativeFrame", "resizeEdges", "minimize"];
        const bad = members.filter((name) => report[name] !== true);
        console.log(bad.length ? bad.join(",") : "ok");
    ' "$1" 2>&1
}

# A stored state: in a folder without one the check reads the state before the page's first save and
# posts back null, which the local API refuses (apiSave false).
stored() { # stored FOLDER MACROS-ON
    mkdir -p "$1"
    printf '{"macroEnabled":%s,"profiles":[{"id":1,"name":"默认","program":"","macros":[]}],"selectedProfile":1}' \
        "$2" >"$1/Kestrava配置.json"
}
stored "$scratch/pass" false
printf '{"stale":true}' >"$scratch/pass/启动验收.json"
run_check pass
expect "pass: exit code 0 (got $code)" [ "$code" = 0 ]
members=$(report_members "$scratch/pass/启动验收.json")
expect "pass: 启动验收.json has every member true ($members)" [ "$members" = ok ]
expect "pass: the old report did not survive" bash -c "! grep -q stale '$scratch/pass/启动验收.json'"
expect "pass: no tray icon in this mode" bash -c "! grep -q -F '系统托盘图标' '$scratch/pass/logs/运行.log'"
standin_report_clean "pass" "$scratch/pass-com.json"

stored "$scratch/macrosOn" true
run_check macrosOn
expect "macrosOn: exit code 1 (got $code)" [ "$code" = 1 ]
members=$(report_members "$scratch/macrosOn/启动验收.json")
expect "macrosOn: the report names macroDisabled, and only it ($members)" [ "$members" = macroDisabled ]
standin_report_clean "macrosOn" "$scratch/macrosOn-com.json"

mkdir -p "$scratch/navigationFails"
printf '{"stale":true}' >"$scratch/navigationFails/启动验收.json"
run_check navigationFails KES_WEBVIEW2_FAIL_NAVIGATION=1
expect "navigationFails: exit code 1 (got $code)" [ "$code" = 1 ]
expect "navigationFails: 网页导航失败 is logged" grep -q -F "网页导航失败" "$scratch/navigationFails/logs/错误.log"
expect "navigationFails: no report" [ ! -e "$scratch/navigationFails/启动验收.json" ]
standin_report_clean "navigationFails" "$scratch/navigationFails-com.json"

if ((kes_failures > 0)); then
    for name in pass macrosOn navigationFails; do
        echo "--- $name: error log"
        cat "$scratch/$name/logs/错误.log" 2>/dev/null
        echo "--- $name: stand-in report"
        cat "$scratch/$name-com.json" 2>/dev/null
    done
fi
kes_checks_verdict webview2-standin-startup-check
