// The engine's error paths, reached through replaced system services: timers, signals and the hook.
#include "EngineTestSupport.h"

#include "platform/CancelEvent.h"
#include "platform/KeyboardHook.h"
#include "platform/OneShotTimer.h"

#include <gtest/gtest.h>

namespace {

using namespace kes::test;
using Events = std::vector<std::pair<int, bool>>;

class EngineServices : public EngineTest {};

// Services with one or more of them replaced, e.g. with([](kes::EngineServices& s) { s.makeTimer = ...; }).
template <typename Change> kes::EngineServices with(Change change) {
    kes::EngineServices services;
    change(services);
    return services;
}

TEST_F(EngineServices, AJobWithoutATimerSendsNothingAndLogsWhy) {
    std::vector<bool> asked;
    rebuild(with([&asked](kes::EngineServices& services) {
        services.makeTimer = [&asked](bool highResolution) {
            asked.push_back(highResolution);
            return std::unique_ptr<kes::platform::OneShotTimer>();
        };
    }));
    applyOn({macro(1, "once", keyF8, {step({keyA})})});
    EXPECT_TRUE(press(keyF8));
    engine->waitIdle();
    EXPECT_EQ(recorder.count(), 0u);
    EXPECT_EQ(asked, (std::vector<bool>{true, false}));
    EXPECT_NE(errorLog().find("执行宏失败：无法创建高精度计时器"), std::string::npos) << errorLog();
}

// The system's timer, made to fail at its first arming or its first wait.
class FailingTimer : public kes::platform::OneShotTimer {
public:
    enum class Fails { Arming, Waiting };
    explicit FailingTimer(Fails fails) : fails_(fails), timer_(kes::platform::createOneShotTimer(true)) {}
    bool arm(std::int64_t due100ns) override { return fails_ != Fails::Arming && timer_->arm(due100ns); }
    kes::platform::TimerWait wait(const kes::platform::CancelEvent& cancel) override {
        return fails_ == Fails::Waiting ? kes::platform::TimerWait::Failed : timer_->wait(cancel);
    }

private:
    Fails fails_;
    std::unique_ptr<kes::platform::OneShotTimer> timer_;
};

struct TimerFailure {
    FailingTimer::Fails fails;
    const char* logged;
};

class TimerFailureDuringAHold : public EngineTest, public ::testing::WithParamInterface<TimerFailure> {};

TEST_P(TimerFailureDuringAHold, ReleasesTheKeysAndLogs) {
    const FailingTimer::Fails fails = GetParam().fails;
    rebuild(with([fails](kes::EngineServices& services) {
        services.makeTimer = [fails](bool) {
            return std::make_unique<FailingTimer>(fails);
        };
    }));
    applyOn({macro(1, "hold", keyF8, {step({keyA, keyD}, 200, 0)})});
    press(keyF8);
    engine->waitIdle(); // the job ended by itself, the trigger still held
    EXPECT_EQ(keysAndDirections(recorder.events()),
              (Events{{keyA, true}, {keyD, true}, {keyD, false}, {keyA, false}}));
    EXPECT_NE(errorLog().find(std::string("执行宏失败：") + GetParam().logged), std::string::npos)
        << errorLog();
    release(keyF8);
}

INSTANTIATE_TEST_SUITE_P(Failures, TimerFailureDuringAHold,
                         ::testing::Values(TimerFailure{FailingTimer::Fails::Arming, "高精度计时器启动失败"},
                                           TimerFailure{FailingTimer::Fails::Waiting, "高精度等待失败"}));

// Hands out the system's signals, except that the calls numbered in `refused` (from 1) get none.
struct SignalSource {
    std::vector<int> refused;
    int calls = 0;
    std::function<std::unique_ptr<kes::platform::CancelEvent>()> factory() {
        return [this]() -> std::unique_ptr<kes::platform::CancelEvent> {
            ++calls;
            if (std::find(refused.begin(), refused.end(), calls) != refused.end()) {
                return nullptr;
            }
            return kes::platform::createCancelEvent();
        };
    }
};

TEST_F(EngineServices, NoSignalForAJobFailsTheTriggerAndLeavesNothingBehind) {
    SignalSource signals{{1, 4}};
    rebuild(with([&signals](kes::EngineServices& services) { services.makeSignal = signals.factory(); }));
    applyOn({macro(1, "once", keyF8, {step({keyA})})});
    // The job's cancel signal, then (second press) its end signal is refused.
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            press(keyF8);
            ADD_FAILURE() << "no failure at attempt " << attempt;
        } catch (const std::runtime_error& error) {
            EXPECT_STREQ(error.what(), "无法创建宏取消信号");
        }
        EXPECT_EQ(engine->jobCount(), 0u);
        release(keyF8);
    }
    EXPECT_TRUE(press(keyF8)); // the key is not blocked by a half-made job
    engine->waitIdle();
    EXPECT_EQ(recorder.count(), 2u);
}

TEST_F(EngineServices, TheHookLogsAFailureOfTheDecisionAndPassesTheEventOn) {
    HookSeat seat;
    SignalSource signals{{1}};
    rebuild(with([&](kes::EngineServices& services) {
                services.makeSignal = signals.factory();
                services.installHook = seat.installer();
            }),
            false);
    applyOn({macro(1, "once", keyF8, {step({keyA})})});
    ASSERT_NE(seat.handler, nullptr);

    int nextCalls = 0;
    EXPECT_EQ(seat.deliver(keyF8, kes::platform::KeyEventKind::Down, nextCalls), 42);
    EXPECT_EQ(nextCalls, 1);
    EXPECT_NE(errorLog().find("键盘监听失败：无法创建宏取消信号"), std::string::npos) << errorLog();
    EXPECT_EQ(seat.deliver(keyF8, kes::platform::KeyEventKind::Up, nextCalls), 42);
    EXPECT_EQ(nextCalls, 2);

    // Working again: the trigger is swallowed, the next hook not called.
    EXPECT_EQ(seat.deliver(keyF8, kes::platform::KeyEventKind::Down, nextCalls), 1);
    EXPECT_EQ(nextCalls, 2);
    engine->waitIdle();
    EXPECT_EQ(recorder.count(), 2u);
    engine->stop();
    EXPECT_EQ(seat.removed, 1);
    EXPECT_EQ(seat.handler, nullptr);
}

TEST_F(EngineServices, AKeyDownAtSwitchOnComesUpInTheProgramThatSawItGoDown) {
    rebuild(with([](kes::EngineServices& services) {
        services.keysDown = [] {
            return std::vector<int>{keyF8, keyE};
        };
    }));
    applyOn({macro(1, "hold", keyF8, {step({keyA})}), macro(2, "latch", keyE, {step({keyD})})});
    // The first auto-repeat after the switch-on starts the macro, but the up is the program's.
    EXPECT_TRUE(press(keyF8));
    ASSERT_TRUE(recorder.waitForMoreThan(0));
    EXPECT_FALSE(release(keyF8));
    EXPECT_FALSE(release(keyE));
    engine->waitIdle();
    EXPECT_EQ(keysAndDirections(recorder.events()), (Events{{keyA, true}, {keyA, false}}));

    // Its next press is the engine's from down to up.
    EXPECT_TRUE(press(keyE));
    EXPECT_TRUE(release(keyE));
    engine->waitIdle();
}

TEST_F(EngineServices, KeysDownAtAnEarlierSwitchOnAreForgottenWhenSwitchedOff) {
    std::vector<int> down{keyF8};
    rebuild(with([&down](kes::EngineServices& services) {
        services.keysDown = [&down] {
            return down;
        };
    }));
    applyOn({macro(1, "hold", keyF8, {step({keyA})})});
    engine->setEnabled(false);
    down.clear();
    engine->setEnabled(true);
    EXPECT_TRUE(press(keyF8));
    EXPECT_TRUE(release(keyF8));
    engine->waitIdle();
}

} // namespace
