#include "shell/HookHealth.h"

#include "platform/TextConversion.h"
#include "shell/DesktopServices.h"
#include "storage/QuietLog.h"
#include "webhost/MacroStatus.h"
#include "webhost/PageMessages.h"

#include <algorithm>
#include <exception>

namespace kes {
namespace {

constexpr unsigned missedEventsForRepair = 2;

void tellPage(HostContext& context, const std::string& json) {
    if (!context.webView) {
        return;
    }
    try {
        context.webView->postWebMessageAsJson(toWide(json));
    } catch (const std::exception& e) {
        logQuietly(context.log, LogLevel::Error, e.what());
    }
}

bool engineHooked(const HostContext& context) {
    return context.engine && context.engine->hasHook();
}

} // namespace

void HookWatch::follow(std::uint64_t hookEvents) {
    if (hookEvents == hookEvents_) {
        return;
    }
    // The hook's events pay for raw events to come: the system may hand over several hook calls before
    // their raw input. Only a few are kept, so that a hook removed after swallowing many events (which then
    // send no raw input) is still found soon.
    credit_ = std::min<std::uint64_t>(credit_ + (hookEvents - hookEvents_), creditLimit);
    hookEvents_ = hookEvents;
    missed_ = 0;
    awaitingProof_ = false;
}

void HookWatch::rawKeyboardInput(std::uint64_t hookEvents) {
    follow(hookEvents);
    if (credit_ > 0) {
        --credit_;
    } else if (missed_ < missedEventsForRepair) {
        ++missed_;
    }
}

bool HookWatch::hookLost(std::uint64_t hookEvents) {
    follow(hookEvents);
    return missed_ >= missedEventsForRepair && !awaitingProof_;
}

void HookWatch::repaired(std::uint64_t hookEvents) {
    hookEvents_ = hookEvents;
    credit_ = 0;
    missed_ = 0;
    awaitingProof_ = true;
}

void HookWatch::forget() {
    credit_ = 0;
    missed_ = 0;
}

void noteRawKeyboardInput(HostContext& context, HookWatches& watches) {
    if (engineHooked(context)) {
        watches.engine.rawKeyboardInput(context.engine->hookEventCount());
    }
    if (context.f12Hook != nullptr) {
        watches.f12.rawKeyboardInput(context.f12Events);
    }
}

void repairLostHooks(HostContext& context, HookWatches& watches) {
    bool repaired = false;
    if (!engineHooked(context)) {
        watches.engine.forget();
    } else if (watches.engine.hookLost(context.engine->hookEventCount())) {
        try {
            context.engine->repairHook();
            watches.engine.repaired(context.engine->hookEventCount());
            logQuietly(context.log, LogLevel::Error, engineHookRepairedLine);
            repaired = true;
        } catch (const std::exception& e) {
            logQuietly(context.log, LogLevel::Error, std::string("重新安装键盘监听失败：") + e.what());
            tellPage(context, macroStatusFailure);
        }
    }
    if (context.f12Hook == nullptr) {
        watches.f12.forget();
    } else if (watches.f12.hookLost(context.f12Events)) {
        const auto& reinstall = desktopServices().reinstallF12Watch;
        if (reinstall && reinstall()) {
            watches.f12.repaired(context.f12Events);
            logQuietly(context.log, LogLevel::Error, f12HookRepairedLine);
            repaired = true;
        } else {
            // Not tried again until a watch sees events: the failure is logged once.
            watches.f12.repaired(context.f12Events);
            logQuietly(context.log, LogLevel::Error, "重新安装 F12 总开关的键盘监听失败");
        }
    }
    if (repaired) {
        try {
            postNotice(hookRepairedNotice, context);
        } catch (const std::exception& e) {
            logQuietly(context.log, LogLevel::Error, e.what());
        }
    }
}

} // namespace kes
