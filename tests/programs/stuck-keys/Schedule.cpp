#include "Schedule.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

namespace kes::campaign {
namespace {

using nlohmann::json;

constexpr std::array<int, 7> physicalKeys = {119, 120, 65, 67, 162, 160, 68}; // F8 F9 A C LCtrl LShift D
constexpr std::array<const char*, 7> triggers = {"F8",         "F9", "Ctrl + F8",       "A",
                                                 "Shift + F9", "C",  "Ctrl + Ctrl + F9"};
constexpr std::array<const char*, 7> stepKeys = {"A", "C", "D", "E", "A + D", "", "Ctrl + C"};
constexpr std::array<const char*, 4> behaviours = {"once", "hold", "repeat", "latch"};
constexpr std::array<const char*, 4> profilePrograms = {"", "game.exe", "D:\\Games\\GAME.EXE", "other.exe"};

class Draw {
public:
    explicit Draw(std::uint64_t seed) : engine_(seed) {}
    int upTo(int n) { return std::uniform_int_distribution<int>(0, n - 1)(engine_); }
    bool chance(int percent) { return upTo(100) < percent; }
    template <typename T, std::size_t N> T from(const std::array<T, N>& items) {
        return items[static_cast<std::size_t>(upTo(static_cast<int>(N)))];
    }
    std::mt19937_64& engine() { return engine_; }

private:
    std::mt19937_64 engine_;
};

// The keys of a step's key text ("A + D" gives A and D).
std::vector<std::string> keysOf(const std::string& text) {
    std::vector<std::string> keys;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t plus = text.find(" + ", start);
        keys.push_back(text.substr(start, plus == std::string::npos ? std::string::npos : plus - start));
        start = plus == std::string::npos ? text.size() : plus + 3;
    }
    return keys;
}

std::string joined(const std::vector<std::string>& keys) {
    std::string text;
    for (const std::string& key : keys) {
        text += (text.empty() ? "" : " + ") + key;
    }
    return text;
}

// A step list whose keys may stay down across steps ("keep") until a later step lets them up ("release");
// always one the profile check accepts: a kept key is released before it is pressed again.
json randomSteps(Draw& draw, bool mayKeep) {
    json steps = json::array();
    std::vector<std::string> kept;
    const int stepCount = 1 + draw.upTo(3);
    for (int s = 0; s < stepCount; ++s) {
        const std::string key = draw.from(stepKeys);
        json step = {{"key", key}, {"hold", 1 + draw.upTo(3)}, {"gap", draw.upTo(3)}};
        const std::vector<std::string> keys = keysOf(key);
        const bool pressesKept = std::any_of(keys.begin(), keys.end(), [&](const std::string& k) {
            return std::find(kept.begin(), kept.end(), k) != kept.end();
        });
        if (!kept.empty() && (pressesKept || draw.chance(40))) {
            step["release"] = joined(kept);
            kept.clear();
        }
        if (mayKeep && !keys.empty() && draw.chance(35)) {
            const std::vector<std::string> keep(keys.begin(),
                                                keys.begin() + 1 + draw.upTo(static_cast<int>(keys.size())));
            step["keep"] = joined(keep);
            kept.insert(kept.end(), keep.begin(), keep.end());
        }
        steps.push_back(step);
    }
    return steps;
}

json randomProfile(Draw& draw) {
    std::array<int, 3> ids = {1, 2, 3};
    std::shuffle(ids.begin(), ids.end(), draw.engine());
    json macros = json::array();
    const int macroCount = 1 + draw.upTo(3);
    for (int m = 0; m < macroCount; ++m) {
        const std::string behaviour = draw.from(behaviours);
        json macro = {{"id", ids[static_cast<std::size_t>(m)]},
                      {"enabled", draw.chance(85)},
                      {"behavior", behaviour},
                      {"trigger", draw.from(triggers)},
                      {"steps", randomSteps(draw, behaviour != "repeat")}};
        if (draw.chance(30)) {
            macro["playCount"] = 1 + draw.upTo(3);
        }
        if (draw.chance(30)) {
            macro["jitter"] = draw.upTo(3);
        }
        macros.push_back(macro);
    }
    return {{"program", draw.from(profilePrograms)}, {"macros", macros}};
}

} // namespace

const std::vector<std::wstring> foregroundPrograms = {L"game.exe", L"other.exe", L"explorer.exe"};

std::string Operation::describe() const {
    switch (action) {
    case Action::Press:
        return "press " + std::to_string(key);
    case Action::AutoRepeat:
        return "auto-repeat " + std::to_string(key);
    case Action::Release:
        return "release " + std::to_string(key);
    case Action::Injected:
        return std::string("injected ") + (down ? "down " : "up ") + std::to_string(key);
    case Action::Apply:
        return std::string("apply ") + (enabled ? "on " : "off ") + profile.dump();
    case Action::ProgramChange:
        return "foreground " + std::to_string(foreground);
    case Action::ForegroundLoss:
        return "foreground lost";
    case Action::Tick:
        return "tick";
    case Action::SwitchOff:
        return "switch off";
    case Action::SwitchOn:
        return "switch on";
    case Action::Stop:
        return "stop";
    case Action::Wait:
        return "wait " + std::to_string(milliseconds) + " ms";
    }
    return "?";
}

Schedule makeSchedule(std::uint64_t seed) {
    Draw draw(seed);
    Schedule schedule;
    schedule.seed = seed;
    schedule.firstProfile = randomProfile(draw);
    json current = schedule.firstProfile;
    std::vector<int> held;
    const int length = 8 + draw.upTo(40);
    for (int i = 0; i < length; ++i) {
        Operation op;
        const int roll = draw.upTo(100);
        if (roll < 22) {
            std::vector<int> free;
            for (int key : physicalKeys) {
                if (std::find(held.begin(), held.end(), key) == held.end()) {
                    free.push_back(key);
                }
            }
            if (free.empty()) {
                continue;
            }
            op.action = Action::Press;
            op.key = free[static_cast<std::size_t>(draw.upTo(static_cast<int>(free.size())))];
            held.push_back(op.key);
        } else if (roll < 32 && !held.empty()) {
            op.action = Action::AutoRepeat;
            op.key = held[static_cast<std::size_t>(draw.upTo(static_cast<int>(held.size())))];
        } else if (roll < 52 && !held.empty()) {
            const auto at = held.begin() + draw.upTo(static_cast<int>(held.size()));
            op.action = Action::Release;
            op.key = *at;
            held.erase(at);
        } else if (roll < 55) {
            op.action = Action::Injected;
            op.key = draw.from(physicalKeys);
            op.down = draw.chance(50);
        } else if (roll < 62) {
            op.action = Action::Apply;
            op.enabled = draw.chance(85);
            // The page also sends the same profile again (the master switch, another macro's name): the
            // running jobs of unchanged macros go on.
            if (draw.chance(60)) {
                current = randomProfile(draw);
            }
            op.profile = current;
        } else if (roll < 66) {
            op.action = Action::ProgramChange;
            op.foreground = draw.upTo(2);
        } else if (roll < 68) {
            op.action = Action::ForegroundLoss;
        } else if (roll < 71) {
            op.action = Action::Tick;
        } else if (roll < 73) {
            op.action = Action::SwitchOff;
        } else if (roll < 76) {
            op.action = Action::SwitchOn;
        } else if (roll < 77) {
            op.action = Action::Stop;
        } else {
            op.action = Action::Wait;
            op.milliseconds = draw.chance(40) ? draw.upTo(2) : draw.upTo(16);
        }
        schedule.operations.push_back(std::move(op));
    }
    std::shuffle(held.begin(), held.end(), draw.engine());
    for (int key : held) {
        Operation op;
        op.action = Action::Release;
        op.key = key;
        schedule.operations.push_back(op);
    }
    return schedule;
}

} // namespace kes::campaign
