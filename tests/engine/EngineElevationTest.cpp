// A program in front that runs elevated cannot receive our keys: its trigger presses go on to it, nothing
// plays, and the user is told once per program.
#include "EngineTestSupport.h"

#include "engine/ElevatedTarget.h"
#include "engine/KeyNames.h"

#include <gtest/gtest.h>

namespace {

using namespace kes::test;
using kes::platform::Elevation;

TEST(KeyOutputBlocked, OnlyAnElevatedOrClosedProgramBlocksAProcessThatIsNotElevated) {
    struct Case {
        bool self;
        Elevation target;
        bool blocked;
    };
    const Case cases[] = {
        {false, Elevation::NotElevated, false}, {false, Elevation::Elevated, true},
        {false, Elevation::AccessDenied, true}, {false, Elevation::Unknown, false},
        {true, Elevation::NotElevated, false},  {true, Elevation::Elevated, false},
        {true, Elevation::AccessDenied, false}, {true, Elevation::Unknown, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(kes::keyOutputBlocked(c.self, c.target), c.blocked)
            << "self " << c.self << " target " << static_cast<int>(c.target);
    }
}

// The program in front as the seam reports it, and how often it was asked.
struct Foreground {
    std::wstring path = L"C:\\Games\\Game.exe";
    Elevation elevation = Elevation::Elevated;
    int asked = 0;
};

class ElevatedTarget : public EngineTest {
protected:
    void useForeground(bool selfElevated = false) {
        rebuild([this, selfElevated] {
            kes::EngineServices services;
            services.runsElevated = [selfElevated] {
                return selfElevated;
            };
            services.foregroundElevation = [this] {
                ++foreground.asked;
                return kes::platform::ForegroundElevation{foreground.path, foreground.elevation};
            };
            return services;
        }());
        engine->noticeCallback = [this](const std::string& message) {
            notices.push_back(message);
        };
    }
    std::size_t logLines() const {
        const std::string text = errorLog();
        std::size_t count = 0;
        for (std::size_t at = text.find(kes::elevatedTargetMessage); at != std::string::npos;
             at = text.find(kes::elevatedTargetMessage, at + 1)) {
            ++count;
        }
        return count;
    }

    Foreground foreground;
    std::vector<std::string> notices;
};

TEST_F(ElevatedTarget, TheTriggerGoesOnUnplayedAndTheUserIsToldOncePerProgram) {
    useForeground();
    applyOn(
        {macro(1, "hold", keyF8, {step({keyA})}), macro(2, "once", kes::mouseSideButton1, {step({keyD})})});
    EXPECT_FALSE(press(keyF8));
    EXPECT_FALSE(press(keyF8)); // an auto-repeat: not asked again, still not swallowed
    EXPECT_FALSE(release(keyF8));
    EXPECT_FALSE(press(kes::mouseSideButton1));
    EXPECT_FALSE(release(kes::mouseSideButton1));
    EXPECT_EQ(engine->jobCount(), 0u);
    EXPECT_EQ(foreground.asked, 2);
    ASSERT_EQ(notices, std::vector<std::string>{kes::elevatedTargetMessage});
    EXPECT_EQ(logLines(), 1u);

    foreground.path = L"D:\\other\\GAME.EXE"; // the same program by its executable name
    EXPECT_FALSE(press(keyF8));
    EXPECT_FALSE(release(keyF8));
    EXPECT_EQ(notices.size(), 1u);

    foreground.path = L"C:\\Tools\\admin-tool.exe";
    foreground.elevation = Elevation::AccessDenied;
    EXPECT_FALSE(press(keyF8));
    EXPECT_FALSE(release(keyF8));
    EXPECT_EQ(notices.size(), 2u);
    EXPECT_EQ(logLines(), 2u);

    foreground.elevation = Elevation::NotElevated; // that program now runs normally: the macro plays
    EXPECT_TRUE(press(keyF8));
    ASSERT_TRUE(recorder.waitForMoreThan(0));
    EXPECT_TRUE(release(keyF8));
    engine->waitIdle();
    EXPECT_EQ(notices.size(), 2u);
    EXPECT_EQ(recorder.events().front().vk, keyA);
}

TEST_F(ElevatedTarget, AskedOnlyWhenATriggerFires) {
    useForeground();
    applyOn({macro(1, "once", keyF8, {step({keyA})}, {keyCtrl}), macro(2, "repeat", 0, {step({keyE})})});
    EXPECT_FALSE(press(keyA)); // no macro's key
    EXPECT_FALSE(release(keyA));
    EXPECT_FALSE(press(keyF8)); // its modifier is not held
    EXPECT_FALSE(release(keyF8));
    EXPECT_EQ(foreground.asked, 0);

    EXPECT_FALSE(press(keyE)); // a rapid-fire key is a trigger too
    EXPECT_FALSE(release(keyE));
    EXPECT_EQ(foreground.asked, 1);
    EXPECT_EQ(engine->jobCount(), 0u);
    EXPECT_EQ(notices.size(), 1u);
}

TEST_F(ElevatedTarget, AnElevatedProgramOfOursOrAnUnknownAnswerPlays) {
    for (const bool selfElevated : {true, false}) {
        useForeground(selfElevated);
        foreground.elevation = selfElevated ? Elevation::Elevated : Elevation::Unknown;
        applyOn({macro(1, "once", keyF8, {step({keyA})})});
        EXPECT_TRUE(press(keyF8)) << selfElevated;
        EXPECT_TRUE(release(keyF8));
        engine->waitIdle();
        EXPECT_TRUE(notices.empty());
        engine->stop();
    }
    EXPECT_EQ(recorder.count(), 4u);
    EXPECT_EQ(logLines(), 0u);
}

} // namespace
