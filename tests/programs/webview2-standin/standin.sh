# Shared by the scripts of this folder (sourced after scripts/lib/xwine.sh and checks.sh): the WebView2
# stand-in installed into a Wine prefix of these scripts' own as an Evergreen runtime is, a headless
# Chromium for it, and the check of its COM report.
#
#   standin_environment SCRATCH     the display (the caller's, else an own Xvfb), the prefix
#                                   build/webview2-standin-wineprefix with the client library installed
#                                   as the runtime of Chromium's version, and Chromium started on a free
#                                   loopback port ($devtoolsPort); everything ended by standin_finish
#   standin_finish                  ends Chromium and the display started here
#   standin_report_clean NAME FILE  one check per COM manner from the stand-in's report FILE
#   standin_calls FILE              the WebView2 methods the product called, one "name count" a line
#
# Needs $root, $build and $library (EmbeddedBrowserWebView.dll).

runtime_product='{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}'
chromiumPid=""
devtoolsPort=""

standin_install_runtime() {
    local version
    version=$(/usr/bin/chromium --version 2>/dev/null | grep -o '[0-9]\+\.[0-9]\+\.[0-9]\+\.[0-9]\+' | head -1)
    [ -n "$version" ] || { echo "error: cannot read Chromium's version" >&2; return 1; }
    # Machine-wide, where the Evergreen installer puts it: the version folder under the application root,
    # the product version in the update service's client key (32-bit registry view).
    local folder="$WINEPREFIX/drive_c/Program Files (x86)/Microsoft/EdgeWebView/Application/$version/EBWebView/x64"
    rm -rf "$WINEPREFIX/drive_c/Program Files (x86)/Microsoft/EdgeWebView"
    mkdir -p "$folder" && cp "$library" "$folder/EmbeddedBrowserWebView.dll" || return 1
    wine reg add "HKLM\\Software\\Microsoft\\EdgeUpdate\\Clients\\$runtime_product" /v pv /t REG_SZ \
        /d "$version" /f /reg:32 >/dev/null 2>&1 || { echo "error: wine reg add failed" >&2; return 1; }
    standinRuntimeVersion=$version
}

standin_start_chromium() {
    local profile="$1/chromium-profile"
    mkdir -p "$profile"
    /usr/bin/chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
        --disable-background-networking --disable-component-update --disable-sync \
        --user-data-dir="$profile" --remote-debugging-port=0 about:blank >"$1/chromium.log" 2>&1 &
    chromiumPid=$!
    # Port 0: the browser takes a free port and writes it into its profile.
    if ! wait_until 60 test -s "$profile/DevToolsActivePort"; then
        echo "error: Chromium gave no DevTools port" >&2
        sed 's/^/chromium: /' "$1/chromium.log" >&2
        return 1
    fi
    devtoolsPort=$(head -1 "$profile/DevToolsActivePort")
    export KES_WEBVIEW2_DEVTOOLS_PORT=$devtoolsPort
}

standin_environment() {
    if [ -z "${DISPLAY:-}" ]; then
        kes_start_xvfb || return 1
    fi
    kes_prepare_wine "$root/build/webview2-standin-wineprefix" || return 1
    standin_install_runtime || return 1
    standin_start_chromium "$1"
}

standin_finish() {
    kes_end_process "$chromiumPid"
    chromiumPid=""
    kes_stop_xwine
}

standin_report_clean() {
    local name=$1 file=$2
    if [ ! -s "$file" ]; then
        fail "$name: the stand-in wrote its COM report" "no report at $file"
        return
    fi
    local verdicts
    verdicts=$(node -e '
        const report = JSON.parse(require("fs").readFileSync(process.argv[1], "utf8"));
        const say = (ok, text) => console.log((ok ? "ok " : "no ") + text);
        say(report.breaches.length === 0, "no breach of COM manners" +
            (report.breaches.length ? ": " + report.breaches.join("; ") : ""));
        say(report.liveObjectCount === 0, "every object handed out was released" +
            (report.liveObjectCount ? ": alive " + JSON.stringify(report.liveObjects) : ""));
        say((report.created.environment || 0) >= 1, "the product made an environment through the stand-in");
    ' "$file")
    while IFS= read -r line; do
        case $line in
        "ok "*) pass "$name: ${line#ok }" ;;
        *) fail "$name: ${line#no }" ;;
        esac
    done <<<"$verdicts"
}

standin_calls() {
    node -e '
        const report = JSON.parse(require("fs").readFileSync(process.argv[1], "utf8"));
        for (const [name, count] of Object.entries(report.calls)) console.log(`${name} ${count}`);
        for (const [name, count] of Object.entries(report.notImplemented)) console.log(`E_NOTIMPL ${name} ${count}`);
    ' "$1"
}
