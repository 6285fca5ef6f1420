#!/usr/bin/env bash
# The old configuration on a Linux desktop, without KESTRAVA_DATA_ROOT: the program's folder holds the data
# and the per-user folder ($XDG_DATA_HOME) the logs and the old "Velkamo/配置.json". An old file that cannot
# be migrated is logged, kept unchanged, and the program starts all the same; a valid one is copied beside
# the program and its profile loaded.
set -uo pipefail
. "$(dirname "$0")/lib.sh"
press=$native/tests/programs/linux-desktop/kes_physical_keys
kes_require_files "$kestrava" "$press"

kes_desktop_session || exit 1
app=$work/app
unset KESTRAVA_DATA_ROOT
export XDG_DATA_HOME=$work/user
mkdir -p "$app" "$XDG_DATA_HOME/Velkamo"
cp "$kestrava" "$app/kestrava"
printf '{"action":"exit"}' >"$app/关闭方式.json"
legacy=$XDG_DATA_HOME/Velkamo/配置.json
logs=$XDG_DATA_HOME/Kestrava/logs

# Starts the program, waits until the page has handed its macros to the engine, and closes it with the
# page's close button (the stored choice quits at once).
run_and_close() {
    kes_start_program "$logs/运行.log" "$app/kestrava" || return 1
    kes_click_close_button
    kes_await_end 20
}

printf '{bad' >"$legacy"
run_and_close
expect "a start with an old file that cannot be migrated opens the window and ends with 0" test "$ended" = 0
expect "the refusal is logged with the file and the reason" \
    grep -qF "旧配置未迁移，原文件已保留：$legacy：[json.exception.parse_error" "$logs/错误.log"
expect "the old file is kept unchanged" test "$(cat "$legacy")" = '{bad'

state='{"macroEnabled":true,"profiles":[{"id":1,"macros":[{"behavior":"once","enabled":true,"id":2,"name":"甲","steps":[{"gap":20,"hold":20,"key":"A"}],"trigger":"F7"}],"name":"旧配置","program":""}],"selectedProfile":1,"showMacroNames":true}'
printf '%s\n' "$state" >"$legacy"
errorsBefore=$(wc -l <"$logs/错误.log")
run_and_close
# The page saves the document it loaded again in its own form: the old profile must be in it.
profile=$(python3 -c 'import json,sys; p=json.load(open(sys.argv[1]))["profiles"][0]; print(p["name"], p["macros"][0]["trigger"])' "$app/Kestrava配置.json" 2>/dev/null)
expect "a valid old file is migrated beside the program and its profile loaded" test "$profile" = "旧配置 F7"
expect "the copy is logged" grep -q "旧配置已复制到程序同目录，原文件保留" "$logs/运行.log"
expect "the program ends with code 0" test "$ended" = 0
expect "nothing more in the error log" test "$(wc -l <"$logs/错误.log")" = "$errorsBefore"
expect "no key is left down" test "$("$press" report keys)" = "down 0"
kes_checks_verdict "Linux desktop old configuration"
