#pragma once
#include "shell/HostContext.h"

#include <nlohmann/json_fwd.hpp>
#include <string>

namespace kes {

// The start-up check ("--startup-check"): once the page has loaded, this script checks the page from inside
// and posts "startup-check-result"; the host adds three checks of its own window and writes the report.

inline constexpr const char* startupCheckScript =
    "(async()=>{try{await document.fonts.ready;for(let i=0;i<100&&document.getElementById('enable-macros')."
    "disabled;i++)await new Promise(r=>setTimeout(r,50));const state=(await(await "
    "fetch('/api/state')).json())."
    "state;const save=await "
    "fetch('/api/state',{method:'POST',headers:{'Content-Type':'application/json'},body:"
    "JSON.stringify(state)});const windows=await(await fetch('/api/windows')).json();window.chrome.webview."
    "postMessage(JSON.stringify({type:'startup-check-result',title:document.title==='Kestrava',fonts:"
    "document."
    "fonts.size===0,controls:!document.getElementById('enable-macros').disabled,macroDisabled:state."
    "macroEnabled===false,demoDisabled:!location.search.includes('dev='),apiSave:save.ok,apiWindows:Array."
    "isArray(windows.windows)}));}catch(e){window.chrome.webview.postMessage(JSON.stringify({type:'startup-"
    "check-result',error:String(e)}));}})()";

// The script as the browser takes it.
const std::wstring& startupCheckScriptText();

inline constexpr const char8_t* startupCheckReportName = u8"启动验收.json";

// The members the page reports, each of which must be present and true for the check to pass.
inline constexpr const char* startupCheckPageMembers[] = {
    "title", "fonts", "controls", "macroDisabled", "demoDisabled", "apiSave", "apiWindows"};

// The page's "startup-check-result": adds "nativeFrame", "resizeEdges" and "minimize" from the main window,
// writes the report into the data directory (sorted keys, indented by 2), sets the exit code (0 when every
// check passed, else 1) and closes the window. A page member that is present but not a boolean throws the
// JSON library's type error before anything is done.
void completeStartupCheck(const nlohmann::json& message, HostContext& context = hostContext());

} // namespace kes
