#include "EngineTestSupport.h"

#include <gtest/gtest.h>

namespace {

using namespace kes::test;

std::string switchOnFailure(kes::Engine& engine) {
    try {
        engine.setEnabled(true);
    } catch (const std::exception& error) {
        return error.what();
    }
    return "(no failure)";
}

class EngineHook : public ::testing::Test {
protected:
    EngineHook() : directory_("hook") { log.setDirectory(directory_.path()); }
    std::unique_ptr<kes::Engine> hooked() {
        return std::make_unique<kes::Engine>(log, nullptr, false, recorder.sender(), matcher.matcher());
    }
    ScratchDirectory directory_;
    kes::Log log;
    RecordingSender recorder;
    SwitchableMatcher matcher;
};

#ifdef _WIN32

TEST_F(EngineHook, OnlyOneEngineOfTheProcessMayHoldTheKeyboardHook) {
    auto first = hooked();
    first->setEnabled(true);
    ASSERT_TRUE(first->isEnabled());

    auto second = hooked();
    EXPECT_EQ(switchOnFailure(*second), "已有全局宏引擎");
    EXPECT_FALSE(second->isEnabled());

    kes::Engine withoutHook(log, nullptr, true, recorder.sender(), matcher.matcher());
    withoutHook.setEnabled(true);
    EXPECT_TRUE(withoutHook.isEnabled());

    first->stop();
    second->setEnabled(true);
    EXPECT_TRUE(second->isEnabled());
    second.reset(); // destroying the owner frees the hook too
    first->setEnabled(true);
    EXPECT_TRUE(first->isEnabled());
}

#else

TEST_F(EngineHook, SwitchingOnWithTheHookFailsWhereTheSystemHasNone) {
    auto engine = hooked();
    EXPECT_EQ(switchOnFailure(*engine), "无法安装全局键盘监听");
    EXPECT_FALSE(engine->isEnabled());
    EXPECT_FALSE(engine->onKey(keyF8, true, false));
    // The failed engine did not keep the process-wide slot: another one fails the same way, not as a second
    // hooked engine.
    auto other = hooked();
    EXPECT_EQ(switchOnFailure(*other), "无法安装全局键盘监听");
    EXPECT_EQ(fileBytes(directory_ / u8"运行.log").find("全局宏引擎已启用"), std::string::npos);
}

TEST_F(EngineHook, EnginesWithoutTheHookWorkSideBySide) {
    kes::Engine first(log, nullptr, true, recorder.sender(), matcher.matcher());
    kes::Engine second(log, nullptr, true, recorder.sender(), matcher.matcher());
    first.apply(true, profileOf({macro(1, "once", keyF8, {step({keyA})})}));
    second.apply(true, profileOf({macro(1, "once", keyF8, {step({keyD})})}));
    EXPECT_TRUE(first.onKey(keyF8, true, false));
    EXPECT_TRUE(second.onKey(keyF8, true, false));
    first.waitIdle();
    second.waitIdle();
    EXPECT_EQ(recorder.count(), 4u);
}

#endif

} // namespace
