// Each engine check of the self-check fails, with its own message, against an engine or sender that has
// the fault it is there to catch.
#include "diagnostics/CheckedEngine.h"
#include "diagnostics/SelfCheckParts.h"
#include "support/ScratchDirectory.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using kes::selfcheck::CheckedEngine;
using kes::selfcheck::CheckedEngineMaker;

constexpr int keyA = 65, keyD = 68, keyF8 = 119;

// Threads that deliver key events late, joined when the engine that started them is destroyed (before the
// check's recording sender).
class LateEvents {
public:
    ~LateEvents() {
        for (std::thread& thread : threads_) {
            thread.join();
        }
    }
    void send(kes::KeySender sender, int vk, bool up, std::chrono::milliseconds delay) {
        std::lock_guard lock(mutex_);
        threads_.emplace_back([sender = std::move(sender), vk, up, delay] {
            std::this_thread::sleep_for(delay);
            sender(static_cast<unsigned char>(vk), 30, up ? 2 : 0);
        });
    }

private:
    std::mutex mutex_;
    std::vector<std::thread> threads_;
};

// An engine whose reactions each test writes; it sends through the check's recording sender.
class FaultyEngine final : public CheckedEngine {
public:
    using Reaction = std::function<bool(FaultyEngine&, int vk, bool isDown, bool injected)>;
    FaultyEngine(kes::KeySender output, Reaction reaction, std::function<void(FaultyEngine&)> onStop)
        : sender(std::move(output)), reaction_(std::move(reaction)), onStop_(std::move(onStop)) {}

    void send(int vk, bool up) { sender(static_cast<unsigned char>(vk), 30, up ? 2 : 0); }
    void sendLate(int vk) { late_.send(sender, vk, false, std::chrono::milliseconds(1)); }

    void apply(bool enabled, kes::Profile) override { enabled_ = enabled; }
    bool onKey(int vk, bool isDown, bool injected) override {
        return enabled_ && reaction_(*this, vk, isDown, injected);
    }
    void checkForeground() override {}
    void waitIdle() override {}
    void stop() override {
        if (enabled_ && onStop_) {
            onStop_(*this);
        }
        enabled_ = false;
    }
    bool isEnabled() const override { return enabled_; }

    kes::KeySender sender;

private:
    Reaction reaction_;
    std::function<void(FaultyEngine&)> onStop_;
    bool enabled_ = false;
    LateEvents late_; // last member: joined first
};

CheckedEngineMaker faulty(FaultyEngine::Reaction reaction, std::function<void(FaultyEngine&)> onStop = {}) {
    return [reaction, onStop](kes::Log&, kes::KeySender sender, kes::ProgramMatcher) {
        return std::make_unique<FaultyEngine>(std::move(sender), reaction, onStop);
    };
}

class SelfCheckFaults : public ::testing::Test {
protected:
    SelfCheckFaults() : scratch_("self-check-faults") { log.setDirectory(scratch_ / "logs"); }

    std::string failureOf(const std::function<void()>& check) {
        try {
            check();
        } catch (const std::exception& error) {
            return error.what();
        }
        return "(passed)";
    }

    kes::test::ScratchDirectory scratch_;
    kes::Log log;
};

TEST_F(SelfCheckFaults, TheRealEnginePassesEveryEngineCheck) {
    EXPECT_EQ(failureOf([&] { kes::selfcheck::checkBehaviours(log); }), "(passed)");
    EXPECT_EQ(failureOf([&] { kes::selfcheck::checkReleaseOrder(log); }), "(passed)");
    EXPECT_EQ(failureOf([&] { kes::selfcheck::checkModifiersProgramAndSwitchOff(log); }), "(passed)");
    EXPECT_EQ(failureOf([&] { kes::selfcheck::checkSimultaneousMatch(log); }), "(passed)");
}

TEST_F(SelfCheckFaults, AMacroStartedLateByInjectedInputIsCaught) {
    const auto engine = faulty([](FaultyEngine& self, int, bool isDown, bool injected) {
        if (injected && isDown) {
            self.sendLate(keyA);
        }
        return false;
    });
    EXPECT_EQ(failureOf([&] { kes::selfcheck::checkBehaviours(log, engine); }), "注入事件触发了宏");
}

TEST_F(SelfCheckFaults, ALoopThatPlaysOnlyOnceIsCaught) {
    const auto engine = faulty([](FaultyEngine& self, int vk, bool isDown, bool injected) {
        if (injected) {
            return false;
        }
        if (isDown && (vk == keyF8 || vk == keyA)) {
            self.send(keyA, false);
            self.send(keyA, true);
        }
        return true;
    });
    EXPECT_EQ(failureOf([&] { kes::selfcheck::checkBehaviours(log, engine); }), "循环没有执行下一轮");
}

TEST_F(SelfCheckFaults, AGroupReleasedInPressOrderIsCaught) {
    const auto engine = faulty(
        [](FaultyEngine& self, int vk, bool isDown, bool) {
            if (vk == keyF8 && isDown) {
                self.send(keyA, false);
                self.send(keyD, false);
            }
            return true;
        },
        [](FaultyEngine& self) {
            self.send(keyA, true);
            self.send(keyD, true);
        });
    EXPECT_EQ(failureOf([&] { kes::selfcheck::checkReleaseOrder(log, engine); }), "组合按键未反序释放");
}

TEST_F(SelfCheckFaults, ATriggerWithoutItsModifierStartingLateIsCaught) {
    const auto engine = faulty([](FaultyEngine& self, int vk, bool isDown, bool) {
        if (vk == keyF8 && isDown) {
            self.sendLate(keyA);
        }
        return vk == keyF8;
    });
    EXPECT_EQ(failureOf([&] { kes::selfcheck::checkModifiersProgramAndSwitchOff(log, engine); }),
              "缺少修饰键仍被触发");
}

TEST_F(SelfCheckFaults, ALatchedKeyLeftDownByStopIsCaught) {
    // The real engine, but the sixth key event (the latched key's release at stop) is lost.
    auto sent = std::make_shared<std::atomic<int>>(0);
    const CheckedEngineMaker engine = [sent](kes::Log& engineLog, kes::KeySender sender,
                                             kes::ProgramMatcher matcher) {
        kes::KeySender losing = [sent, sender](unsigned char vk, unsigned char scan, unsigned long flags) {
            if (++*sent != 6) {
                sender(vk, scan, flags);
            }
        };
        return kes::selfcheck::realEngine(engineLog, std::move(losing), std::move(matcher));
    };
    EXPECT_EQ(failureOf([&] { kes::selfcheck::checkModifiersProgramAndSwitchOff(log, engine); }),
              "关闭宏没有释放末键");
}

} // namespace
