#!/usr/bin/env bash
# The Linux desktop host's start-up check: the real page in WebKitGTK inside the real GTK window on a
# private X display with a window manager. The report must have every member true and the exit code 0.
set -uo pipefail
. "$(dirname "$0")/lib.sh"
kes_require_files "$kestrava"

data=$(mktemp -d)
trap 'kes_desktop_stop; rm -rf "$data"' EXIT
kes_desktop_start || exit 1
kes_seed_state "$data" '{"macroEnabled":false,"profiles":[{"id":1,"macros":[{"behavior":"once","enabled":true,"id":2,"name":"甲","steps":[{"gap":20,"hold":20,"key":"A"}],"trigger":"F8"}],"name":"默认配置","program":""}],"selectedProfile":1,"showMacroNames":true}'

KESTRAVA_DATA_ROOT=$data timeout 120 "$kestrava" --startup-check
code=$?
report=$data/启动验收.json
echo "exit code $code"
cat "$report" 2>/dev/null || echo "(no report)"
echo

expect "the check exits with 0" test "$code" = 0
for member in title fonts controls macroDisabled demoDisabled apiSave apiWindows nativeFrame resizeEdges minimize; do
    expect "the report's $member is true" test "$(kes_report_member "$report" "$member")" = True
done
expect "the report has no error" test "$(kes_report_member "$report" error)" = None
expect "nothing in the error log" test ! -s "$data/logs/错误.log"
kes_checks_verdict "Linux desktop start-up check"
