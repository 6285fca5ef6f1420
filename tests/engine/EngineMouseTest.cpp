// Mouse buttons as triggers: the middle and side buttons go through the same matching as keys, and the mouse
// hook comes and goes with the keyboard hook.
#include "EngineTestSupport.h"

#include "engine/KeyNames.h"
#include "platform/KeyboardHook.h"
#include "platform/MouseHook.h"

#include <gtest/gtest.h>

namespace {

using namespace kes::test;
using kes::platform::KeyEventKind;
using Events = std::vector<std::pair<int, bool>>;

constexpr int middle = kes::mouseMiddleButton, side1 = kes::mouseSideButton1, side2 = kes::mouseSideButton2;
constexpr int keyShift = 16, keyLeftShift = 160;

class MouseTriggers : public EngineTest {};

struct ButtonCase {
    const char* name;
    int button;
    const char* behavior;
    std::vector<int> modifiers;
    std::vector<int> held; // keys pressed before the button, in order
};

class MouseButtonTrigger : public EngineTest, public ::testing::WithParamInterface<ButtonCase> {};

// Down starts the macro and is swallowed, and so is its up; the macro's keys are the keyboard's.
TEST_P(MouseButtonTrigger, StartsItsMacroAndSwallowsBothHalvesOfTheClick) {
    const ButtonCase& c = GetParam();
    applyOn({macro(1, c.behavior, c.button, {step({keyA})}, c.modifiers)});
    for (int key : c.held) {
        EXPECT_FALSE(press(key));
    }
    EXPECT_TRUE(press(c.button));
    EXPECT_TRUE(engine->hasJob("trigger:1:" + std::to_string(c.button)));
    ASSERT_TRUE(recorder.waitForMoreThan(0));
    EXPECT_TRUE(release(c.button));
    for (int key : c.held) {
        EXPECT_FALSE(release(key));
    }
    engine->waitIdle();
    const Events events = keysAndDirections(recorder.events());
    ASSERT_GE(events.size(), 2u);
    EXPECT_EQ(events.front(), std::make_pair(keyA, true));
    for (const auto& [vk, down] : events) {
        EXPECT_EQ(vk, keyA);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Buttons, MouseButtonTrigger,
    ::testing::Values(ButtonCase{"MiddleOnce", middle, "once", {}, {}},
                      ButtonCase{"Side1Hold", side1, "hold", {}, {}},
                      ButtonCase{"Side2Latch", side2, "latch", {}, {}},
                      ButtonCase{
                          "CtrlShiftSide1", side1, "once", {keyCtrl, keyShift}, {keyLeftCtrl, keyLeftShift}},
                      ButtonCase{"CtrlMiddleHold", middle, "hold", {keyCtrl}, {keyLeftCtrl}}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST_F(MouseTriggers, AClickWithoutItsModifiersOrOfAnotherButtonGoesOnToTheProgram) {
    applyOn({macro(1, "latch", side1, {step({keyA})}, {keyCtrl})});
    EXPECT_FALSE(press(side1));
    EXPECT_FALSE(release(side1)); // its down went on, so its up does too, although the macro is a latch
    EXPECT_FALSE(press(side2));
    EXPECT_FALSE(release(side2));
    EXPECT_FALSE(press(middle));
    EXPECT_FALSE(release(middle));
    EXPECT_EQ(engine->jobCount(), 0u);
    EXPECT_EQ(recorder.count(), 0u);
}

TEST_F(MouseTriggers, InjectedClicksAreNeverMatchedAndForAnotherProgramTheClickGoesOn) {
    applyOn({macro(1, "once", middle, {step({keyA})})}, L"game.exe");
    EXPECT_FALSE(engine->onKey(middle, true, true));
    EXPECT_FALSE(engine->onKey(middle, false, true));
    EXPECT_EQ(engine->pressedKeyCount(), 0u);

    matcher.active = false;
    EXPECT_FALSE(press(middle));
    EXPECT_FALSE(release(middle));
    EXPECT_EQ(engine->jobCount(), 0u);
    EXPECT_EQ(recorder.count(), 0u);
}

TEST_F(MouseTriggers, ReleasingAHoldButtonEndsItsLoop) {
    applyOn({macro(1, "hold", side2, {step({keyA}, 3, 3)})});
    EXPECT_TRUE(press(side2));
    ASSERT_TRUE(recorder.waitForMoreThan(3));
    EXPECT_TRUE(release(side2));
    engine->waitIdle();
    EXPECT_EQ(engine->jobCount(), 0u);
    const std::size_t played = recorder.count();
    kes::platform::sleepMilliseconds(30);
    EXPECT_EQ(recorder.count(), played);
}

// A hook that only remembers its handler, so that a test can call it as the system would.
template <typename HookType> struct Seat {
    kes::platform::KeyboardHookHandler handler = nullptr;
    int installed = 0;
    int removed = 0;
    bool refuse = false;

    class Hook : public HookType {
    public:
        explicit Hook(Seat& seat) : seat_(seat) {}
        ~Hook() override {
            ++seat_.removed;
            seat_.handler = nullptr;
        }

    private:
        Seat& seat_;
    };

    std::function<std::unique_ptr<HookType>(kes::platform::KeyboardHookHandler)> installer() {
        return [this](kes::platform::KeyboardHookHandler given) -> std::unique_ptr<HookType> {
            if (refuse) {
                return nullptr;
            }
            ++installed;
            handler = given;
            return std::make_unique<Hook>(*this);
        };
    }

    // One event through the handler; the next hook answers 42.
    std::intptr_t deliver(int vk, KeyEventKind kind, bool injected = false) const {
        kes::platform::KeyboardHookEvent event;
        event.vk = vk;
        event.kind = kind;
        event.injected = injected;
        const auto next = [](const void*) -> std::intptr_t {
            return 42;
        };
        return handler(event, kes::platform::NextHook{next, nullptr});
    }
};

class MouseHook : public EngineTest {
protected:
    void useSeats() {
        rebuild(
            [this] {
                kes::EngineServices services;
                services.installHook = keyboard.installer();
                services.installMouseHook = mouse.installer();
                return services;
            }(),
            false);
    }
    Seat<kes::platform::KeyboardHook> keyboard;
    Seat<kes::platform::MouseHook> mouse;
};

TEST_F(MouseHook, ComesAndGoesWithTheKeyboardHookAndFeedsTheSameMatching) {
    useSeats();
    applyOn({macro(1, "hold", side1, {step({keyA})}, {keyCtrl})});
    ASSERT_NE(mouse.handler, nullptr);
    EXPECT_EQ(mouse.installed, 1);

    EXPECT_EQ(mouse.deliver(side1, KeyEventKind::Down), 42); // Ctrl is not down yet
    EXPECT_EQ(mouse.deliver(side1, KeyEventKind::Up), 42);
    EXPECT_EQ(keyboard.deliver(keyLeftCtrl, KeyEventKind::Down), 42);
    EXPECT_EQ(mouse.deliver(side1, KeyEventKind::Down, true), 42); // injected
    EXPECT_EQ(mouse.deliver(side1, KeyEventKind::Down), 1);
    EXPECT_TRUE(engine->hasJob("trigger:1:5"));
    EXPECT_EQ(mouse.deliver(side1, KeyEventKind::Other), 42);
    ASSERT_TRUE(recorder.waitForMoreThan(0));
    EXPECT_EQ(mouse.deliver(side1, KeyEventKind::Up), 1);
    EXPECT_EQ(keyboard.deliver(keyLeftCtrl, KeyEventKind::Up), 42);
    engine->waitIdle();

    engine->setEnabled(false);
    EXPECT_EQ(mouse.removed, 1);
    EXPECT_EQ(keyboard.removed, 1);
    engine->setEnabled(true);
    EXPECT_EQ(mouse.installed, 2);
    EXPECT_NE(mouse.handler, nullptr);
}

TEST_F(MouseHook, ALostHookHalfOfTheClickDoesNotLeaveTheSwallowedStateBehind) {
    useSeats();
    applyOn({macro(1, "once", middle, {step({keyA})})});
    EXPECT_EQ(mouse.deliver(middle, KeyEventKind::Down), 1);
    engine->stop(); // switched off between the halves of the click
    engine->setEnabled(true);
    EXPECT_EQ(mouse.deliver(middle, KeyEventKind::Up), 42); // the program in front gets an up it may need
    engine->waitIdle();
}

TEST_F(MouseHook, WithoutAMouseHookKeysStillWorkAndAMouseTriggerIsLogged) {
    mouse.refuse = true;
    useSeats();
    applyOn({macro(1, "once", keyF8, {step({keyA})})});
    EXPECT_EQ(errorLog().find("鼠标监听"), std::string::npos) << errorLog();
    EXPECT_EQ(keyboard.deliver(keyF8, KeyEventKind::Down), 1);
    EXPECT_EQ(keyboard.deliver(keyF8, KeyEventKind::Up), 1);
    engine->waitIdle();

    engine->setEnabled(false);
    applyOn({macro(1, "once", keyF8, {step({keyA})}), macro(2, "once", side2, {step({keyD})})});
    EXPECT_NE(errorLog().find("无法安装全局鼠标监听，鼠标按键触发的宏不会启动"), std::string::npos)
        << errorLog();
    EXPECT_TRUE(engine->isEnabled());
    EXPECT_EQ(keyboard.deliver(keyF8, KeyEventKind::Down), 1);
    EXPECT_EQ(keyboard.deliver(keyF8, KeyEventKind::Up), 1);
    engine->waitIdle();
}

TEST_F(MouseHook, NoMouseHookWhenTheKeyboardHookIsRefused) {
    keyboard.refuse = true;
    useSeats();
    EXPECT_THROW(applyOn({macro(1, "once", middle, {step({keyA})})}), std::runtime_error);
    EXPECT_EQ(mouse.installed, 0);
    EXPECT_FALSE(engine->isEnabled());
}

} // namespace
