#!/usr/bin/env bash
# The Linux desktop host's start-up check: the real page in WebKitGTK inside the real GTK window on a
# private X display with a window manager. The report must have every member true and the exit code 0.
set -uo pipefail
. "$(dirname "$0")/lib.sh"

if [ ! -x "$kestrava" ]; then
    echo "error: $kestrava is missing (build the native preset)" >&2
    exit 1
fi
trap kes_desktop_stop EXIT
kes_desktop_start || exit 1

data=$(mktemp -d)
trap 'kes_desktop_stop; rm -rf "$data"' EXIT
kes_seed_state "$data" '{"macroEnabled":false,"profiles":[{"id":1,"macros":[{"behavior":"once","enabled":true,"id":2,"name":"甲","steps":[{"gap":20,"hold":20,"key":"A"}],"trigger":"F8"}],"name":"默认配置","program":""}],"selectedProfile":1,"showMacroNames":true}'

KESTRAVA_DATA_ROOT=$data timeout 120 "$kestrava" --startup-check
code=$?
report=$data/启动验收.json
echo "exit code $code"
cat "$report" 2>/dev/null || echo "(no report)"
echo

passed=0
failed=0
check() {
    local what=$1
    shift
    if "$@"; then echo "ok: $what"; passed=$((passed + 1)); else echo "FAILED: $what"; failed=$((failed + 1)); fi
}
check "exit code 0" test "$code" = 0
for member in title fonts controls macroDisabled demoDisabled apiSave apiWindows nativeFrame resizeEdges minimize; do
    check "$member is true" python3 -c "import json,sys; sys.exit(0 if json.load(open(sys.argv[1])).get(sys.argv[2]) is True else 1)" "$report" "$member"
done
check "no error member" python3 -c "import json,sys; sys.exit(1 if 'error' in json.load(open(sys.argv[1])) else 0)" "$report"
check "no error lines in the log" test ! -s "$data/logs/错误.log"
echo "$passed passed, $failed failed"
((failed == 0))
