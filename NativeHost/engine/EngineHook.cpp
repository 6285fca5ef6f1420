#include "engine/Engine.h"
#include "engine/KeyNames.h"
#include "engine/PreciseTimer.h"
#include "platform/Clock.h"
#include "platform/KeyboardHook.h"
#include "storage/Log.h"

#include <algorithm>
#include <atomic>
#include <stdexcept>

namespace kes {
namespace {

// The one engine of the process that owns the keyboard hook, or null.
std::atomic<Engine*> globalEngine{nullptr};

constexpr const char* mouseHookMissingMessage = "无法安装全局鼠标监听，鼠标按键触发的宏不会启动";

} // namespace

void Engine::installHook() {
    Engine* current = nullptr;
    if (!globalEngine.compare_exchange_strong(current, this) && current != this) {
        throw std::runtime_error("已有全局宏引擎");
    }
    hook_ = services_.installHook(&Engine::hookProcedure);
    if (!hook_) {
        Engine* self = this;
        globalEngine.compare_exchange_strong(self, nullptr);
        throw std::runtime_error("无法安装全局键盘监听");
    }
    mouseHook_ = services_.installMouseHook(&Engine::mouseHookProcedure);
    const bool mouseTriggers = std::any_of(macros_.begin(), macros_.end(), [](const Macro& macro) {
        return macro.enabled && macro.behavior != "repeat" && isMouseButton(macro.triggerKey);
    });
    if (!mouseHook_ && mouseTriggers) {
        log_.write(LogLevel::Error, mouseHookMissingMessage);
    }
}

void Engine::removeHook() {
    mouseHook_.reset();
    hook_.reset();
    Engine* self = this;
    globalEngine.compare_exchange_strong(self, nullptr);
}

void Engine::repairHook() {
    if (!hook_) {
        return;
    }
    // The old registration goes first; removing one the system already dropped does no harm.
    hook_.reset();
    hook_ = services_.installHook(&Engine::hookProcedure);
    if (!hook_) {
        stop();
        throw std::runtime_error("无法安装全局键盘监听");
    }
}

std::intptr_t Engine::hookProcedure(const platform::KeyboardHookEvent& event,
                                    const platform::NextHook& next) {
    Engine* engine = globalEngine.load(std::memory_order_acquire);
    if (engine == nullptr) {
        return next();
    }
    engine->hookEvents_.fetch_add(1, std::memory_order_relaxed);
    PerfCounters* counters = engine->counters_;
    const std::int64_t start = counters != nullptr ? platform::performanceCounter() : 0;
    bool swallow = false;
    if (event.kind != platform::KeyEventKind::Other) {
        try {
            swallow = engine->onKey(event.vk, event.kind == platform::KeyEventKind::Down, event.injected);
        } catch (const std::exception& error) {
            try {
                engine->log_.write(LogLevel::Error, std::string("键盘监听失败：") + error.what());
            } catch (...) {
            }
        } catch (...) {
            // Nothing may unwind through the system's hook call.
        }
    }
    const std::intptr_t result = swallow ? 1 : next();
    if (counters != nullptr) {
        counters->hookTime.add(ticksToNs(platform::performanceCounter() - start));
    }
    return result;
}

std::intptr_t Engine::mouseHookProcedure(const platform::KeyboardHookEvent& event,
                                         const platform::NextHook& next) {
    Engine* engine = globalEngine.load(std::memory_order_acquire);
    if (engine == nullptr || event.kind == platform::KeyEventKind::Other) {
        return next();
    }
    PerfCounters* counters = engine->counters_;
    const std::int64_t start = counters != nullptr ? platform::performanceCounter() : 0;
    bool swallow = false;
    try {
        swallow = engine->onKey(event.vk, event.kind == platform::KeyEventKind::Down, event.injected);
    } catch (const std::exception& error) {
        try {
            engine->log_.write(LogLevel::Error, std::string("鼠标监听失败：") + error.what());
        } catch (...) {
        }
    } catch (...) {
        // Nothing may unwind through the system's hook call.
    }
    const std::intptr_t result = swallow ? 1 : next();
    if (counters != nullptr) {
        counters->hookTime.add(ticksToNs(platform::performanceCounter() - start));
    }
    return result;
}

} // namespace kes
