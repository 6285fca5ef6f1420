#pragma once
#include "engine/Engine.h"
#include "engine/Profile.h"
#include "platform/Clock.h"
#include "platform/KeyboardHook.h"
#include "storage/Log.h"
#include "support/FileBytes.h"
#include "support/ScratchDirectory.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace kes::test {

constexpr int keyA = 65, keyC = 67, keyD = 68, keyE = 69, keyF8 = 119, keyCtrl = 17, keyLeftCtrl = 162;

struct KeyEvent {
    int vk = 0;
    unsigned char scan = 0;
    unsigned long flags = 0;
    std::int64_t time = 0; // performance counter
    bool down() const { return (flags & 2u) == 0; }
};

// A thread-safe key sender that records every event, and can be told to fail on one of them.
class RecordingSender {
public:
    KeySender sender() {
        return [this](unsigned char vk, unsigned char scan, unsigned long flags) {
            std::lock_guard lock(mutex_);
            if (failOn_ >= 0 && static_cast<int>(vk) == failOn_ && ((flags & 2u) != 0) == failOnUp_) {
                throw std::runtime_error("发送失败");
            }
            events_.push_back({vk, scan, flags, platform::performanceCounter()});
            changed_.notify_all();
        };
    }
    void failOn(int vk, bool up) {
        std::lock_guard lock(mutex_);
        failOn_ = vk;
        failOnUp_ = up;
    }
    std::vector<KeyEvent> events() const {
        std::lock_guard lock(mutex_);
        return events_;
    }
    std::size_t count() const {
        std::lock_guard lock(mutex_);
        return events_.size();
    }
    // Waits up to `limit` for more than `count` events; true when they came.
    bool waitForMoreThan(std::size_t count, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, limit, [&] { return events_.size() > count; });
    }
    // Keys whose last recorded event is a press.
    std::set<int> keysDown() const {
        std::lock_guard lock(mutex_);
        std::set<int> down;
        for (const KeyEvent& event : events_) {
            if (event.down()) {
                down.insert(event.vk);
            } else {
                down.erase(event.vk);
            }
        }
        return down;
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<KeyEvent> events_;
    int failOn_ = -1;
    bool failOnUp_ = false;
};

// A matcher whose answer a test switches, counting its calls.
struct SwitchableMatcher {
    std::atomic<bool> active{true};
    std::atomic<int> calls{0};
    ProgramMatcher matcher() {
        return [this](const std::wstring&) {
            ++calls;
            return active.load();
        };
    }
};

inline std::vector<std::pair<int, bool>> keysAndDirections(const std::vector<KeyEvent>& events) {
    std::vector<std::pair<int, bool>> out;
    for (const KeyEvent& event : events) {
        out.emplace_back(event.vk, event.down());
    }
    return out;
}

inline Step step(std::vector<int> keys, int hold = 5, int gap = 5) {
    return Step{std::move(keys), hold, gap};
}

inline Macro macro(int id, const std::string& behavior, int triggerKey, std::vector<Step> steps,
                   std::vector<int> modifiers = {}) {
    Macro m;
    m.id = id;
    m.behavior = behavior;
    m.triggerKey = triggerKey;
    m.modifiers = std::move(modifiers);
    m.steps = std::move(steps);
    return m;
}

inline Profile profileOf(std::vector<Macro> macros, std::wstring program = {}) {
    Profile p;
    p.program = std::move(program);
    p.macros = std::move(macros);
    return p;
}

// A log in a scratch directory, a recording sender and a switchable matcher around one noHook engine.
class EngineFixture {
public:
    EngineFixture() : directory_("engine") {
        log.setDirectory(directory_.path());
        engine = std::make_unique<Engine>(log, counters.get(), true, recorder.sender(), matcher.matcher());
    }
    std::string errorLog() const { return fileBytes(directory_ / u8"错误.log"); }
    std::string runLog() const { return fileBytes(directory_ / u8"运行.log"); }

    // Replaces the engine by one with these system services.
    void rebuild(EngineServices services, bool noHook = true) {
        engine.reset();
        engine = std::make_unique<Engine>(log, counters.get(), noHook, recorder.sender(), matcher.matcher(),
                                          std::move(services));
    }

    bool press(int vk) { return engine->onKey(vk, true, false); }
    bool release(int vk) { return engine->onKey(vk, false, false); }

    ScratchDirectory directory_;
    Log log;
    RecordingSender recorder;
    SwitchableMatcher matcher;
    std::unique_ptr<PerfCounters> counters;
    std::unique_ptr<Engine> engine;
};

// The base of the engine's test fixtures: each test switches the engine on with its macros, and ends with
// the engine stopped and every key it pressed up again.
class EngineTest : public EngineFixture, public ::testing::Test {
protected:
    void applyOn(std::vector<Macro> macros, std::wstring program = {}) {
        engine->apply(true, profileOf(std::move(macros), std::move(program)));
    }
    void TearDown() override {
        engine->stop();
        EXPECT_TRUE(recorder.keysDown().empty());
    }
};

// A keyboard hook that only remembers its handler, so that a test can call it as the system would.
struct HookSeat {
    platform::KeyboardHookHandler handler = nullptr;
    int installed = 0;
    int removed = 0;
    bool refuse = false; // the system refuses the next installations

    class Hook : public platform::KeyboardHook {
    public:
        explicit Hook(HookSeat& seat) : seat_(seat) {}
        ~Hook() override {
            ++seat_.removed;
            seat_.handler = nullptr;
        }

    private:
        HookSeat& seat_;
    };

    std::function<std::unique_ptr<platform::KeyboardHook>(platform::KeyboardHookHandler)> installer() {
        return [this](platform::KeyboardHookHandler procedure) -> std::unique_ptr<platform::KeyboardHook> {
            if (refuse) {
                return nullptr;
            }
            ++installed;
            handler = procedure;
            return std::make_unique<Hook>(*this);
        };
    }

    // One event through the handler; `nextCalls` counts the calls of the next hook, which answers 42.
    std::intptr_t deliver(int vk, platform::KeyEventKind kind, int& nextCalls) const {
        platform::KeyboardHookEvent event;
        event.vk = vk;
        event.kind = kind;
        const auto next = [](const void* count) -> std::intptr_t {
            ++*static_cast<int*>(const_cast<void*>(count));
            return 42;
        };
        return handler(event, platform::NextHook{next, &nextCalls});
    }
};

inline double msBetween(std::int64_t from, std::int64_t to) {
    return static_cast<double>(to - from) * 1000.0 / static_cast<double>(platform::performanceFrequency());
}

} // namespace kes::test
