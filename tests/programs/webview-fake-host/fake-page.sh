# Shared by the scripts of this folder (sourced): the fake WebView2 runtime and the page folder of
# kes_fake_browser_host.exe (see PageChannel.h).
#
#   register_fake_runtime FOLDER   registers a runtime as its installer would, for the current user of the
#                                  Wine prefix, with an empty client library in FOLDER: the runtime check
#                                  finds it and the fake browser never loads it
#   unregister_fake_runtime        removes that registration again (the prefix is the scripts' own)
#   fake_host_environment FOLDER   the display (the caller's, else an own Xvfb), the scripts' own Wine prefix
#                                  and the fake runtime registered with its files in FOLDER
#   send TEXT                      the page posts TEXT to the host through the folder $page

fake_runtime_key='HKCU\Software\Microsoft\EdgeUpdate\Clients\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}'
fake_runtime_state_key='HKCU\Software\Microsoft\EdgeUpdate\ClientState\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}'
fake_runtime_version=130.0.2849.80

register_fake_runtime() {
    local runtime="$1/$fake_runtime_version"
    mkdir -p "$runtime/EBWebView/x64"
    : >"$runtime/EBWebView/x64/EmbeddedBrowserWebView.dll"
    wine reg add "$fake_runtime_key" /v pv /t REG_SZ /d "$fake_runtime_version" /f >/dev/null 2>&1 &&
        wine reg add "$fake_runtime_state_key" /v EBWebView /t REG_SZ /d "$(windows_path "$runtime")" /f \
            >/dev/null 2>&1 || { echo "error: wine reg add failed" >&2; return 1; }
}

unregister_fake_runtime() {
    if [ -n "${WINEPREFIX:-}" ]; then
        wine reg delete "$fake_runtime_key" /f >/dev/null 2>&1 || true
        wine reg delete "$fake_runtime_state_key" /f >/dev/null 2>&1 || true
    fi
}

fake_host_environment() {
    if [ -z "${DISPLAY:-}" ]; then
        kes_start_xvfb || return 1
    fi
    kes_prepare_wine "$root/build/webview-e2e-wineprefix" || return 1
    register_fake_runtime "$1"
}

sent=0
send() {
    sent=$((sent + 1))
    local name
    name=$(printf '%03d' "$sent")
    printf '%s' "$1" >"$page/$name.tmp" && mv "$page/$name.tmp" "$page/$name.msg"
}
