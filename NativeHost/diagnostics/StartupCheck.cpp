#include "diagnostics/StartupCheck.h"

#include "platform/TextConversion.h"
#include "shell/WindowGeometry.h"
#include "storage/AtomicFileStore.h"
#include "webhost/WindowServices.h"

#include <nlohmann/json.hpp>

namespace kes {

namespace {

int widthOf(const ClientRect& rect) {
    return rect.right - rect.left;
}

int heightOf(const ClientRect& rect) {
    return rect.bottom - rect.top;
}

// Page members that are present must be booleans; absent ones simply fail the check.
bool pageMembersPass(const nlohmann::json& message) {
    bool passed = true;
    for (const char* member : startupCheckPageMembers) {
        const auto found = message.find(member);
        if (found == message.end())
            passed = false;
        else if (!found->get<bool>())
            passed = false;
    }
    return passed;
}

} // namespace

const std::wstring& startupCheckScriptText() {
    static const std::wstring text = toWide(startupCheckScript);
    return text;
}

void completeStartupCheck(const nlohmann::json& message, HostContext& context) {
    const bool pagePassed = pageMembersPass(message);
    const WindowServices& window = windowServices();
    void* handle = context.window;

    const ClientRect windowRect = window.windowRect ? window.windowRect(handle) : ClientRect{};
    const ClientRect clientRect = window.clientRect ? window.clientRect(handle) : ClientRect{};
    const bool nativeFrame =
        widthOf(windowRect) == widthOf(clientRect) && heightOf(windowRect) == heightOf(clientRect);

    bool resizeEdges = false;
    if (window.hitTest) {
        const int topLeft = window.hitTest(handle, windowRect.left + 1, windowRect.top + 1);
        const int bottomRight = window.hitTest(handle, windowRect.right - 2, windowRect.bottom - 2);
        resizeEdges = topLeft == HitTopLeft && bottomRight == HitBottomRight;
    }

    if (window.minimize)
        window.minimize(handle);
    const bool minimized = window.isMinimized && window.isMinimized(handle);
    if (window.restore)
        window.restore(handle);

    nlohmann::json report = message;
    report["nativeFrame"] = nativeFrame;
    report["resizeEdges"] = resizeEdges;
    report["minimize"] = minimized;
    writeFileAtomically(context.dataDir / startupCheckReportName, report.dump(2));

    context.exitCode = pagePassed && nativeFrame && resizeEdges && minimized ? 0 : 1;
    if (window.postClose)
        window.postClose(handle);
}

} // namespace kes
