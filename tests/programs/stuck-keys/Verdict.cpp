#include "Verdict.h"

#include "engine/Engine.h"
#include "engine/Profile.h"
#include "engine/ProgramName.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <mutex>
#include <set>
#include <thread>

namespace kes::campaign {
namespace {

constexpr unsigned long keyUp = 0x0002; // KEYEVENTF_KEYUP

// Records what the engine sends and keeps, per key, how many presses are not yet released.
class Recorder {
public:
    KeySender sender() {
        return [this](unsigned char vk, unsigned char, unsigned long flags) {
            std::lock_guard lock(mutex_);
            ++events_;
            int& down = down_[vk];
            down += (flags & keyUp) != 0 ? -1 : 1;
            if (down < 0) {
                upWithoutDown_ = vk;
            }
        };
    }
    std::size_t events() const {
        std::lock_guard lock(mutex_);
        return events_;
    }
    // A description of the first key left down or released without a press; empty when all is well.
    std::string problem() const {
        std::lock_guard lock(mutex_);
        if (upWithoutDown_ != 0) {
            return "the engine released key " + std::to_string(upWithoutDown_) + " that it had not pressed";
        }
        for (const auto& [vk, down] : down_) {
            if (down != 0) {
                return "key " + std::to_string(vk) + " left down by the engine (" + std::to_string(down) +
                       " presses not released)";
            }
        }
        return {};
    }

private:
    mutable std::mutex mutex_;
    std::map<int, int> down_;
    std::size_t events_ = 0;
    int upWithoutDown_ = 0;
};

} // namespace

Verdict playSchedule(const Schedule& schedule, Log& log, bool trace) {
    Verdict verdict;
    Recorder recorder;
    std::atomic<int> foreground{0};
    const ProgramMatcher matcher = [&foreground](const std::wstring& program) {
        if (program.empty()) {
            return true;
        }
        const auto index = static_cast<std::size_t>(foreground.load());
        return index + 1 < foregroundPrograms.size() && sameProgramName(program, foregroundPrograms[index]);
    };
    // What the program in the foreground saw of each physical key: down (true) or up (false).
    std::map<int, bool> programSees;
    // The keys the player holds, which the system reports to an engine that is switched on.
    std::set<int> held;
    EngineServices services;
    services.keysDown = [&held] {
        return std::vector<int>(held.begin(), held.end());
    };
    const auto fail = [&verdict](const std::string& why) {
        if (verdict.passed) {
            verdict.passed = false;
            verdict.failure = why;
        }
    };

    Engine engine(log, nullptr, true, recorder.sender(), matcher, services);
    try {
        engine.apply(true, parseProfile(schedule.firstProfile));
        if (trace) {
            std::printf("  first profile %s\n", schedule.firstProfile.dump().c_str());
        }
        for (const Operation& op : schedule.operations) {
            std::string result;
            switch (op.action) {
            case Action::Press:
            case Action::AutoRepeat:
            case Action::Release: {
                const bool down = op.action != Action::Release;
                if (down) {
                    held.insert(op.key);
                } else {
                    held.erase(op.key);
                }
                const bool swallowed = engine.onKey(op.key, down, false);
                if (!swallowed) {
                    programSees[op.key] = down;
                }
                result = swallowed ? "swallowed" : "passed";
                break;
            }
            case Action::Injected:
                if (engine.onKey(op.key, op.down, true)) {
                    fail("an injected event of key " + std::to_string(op.key) + " was swallowed");
                }
                break;
            case Action::Apply:
                engine.apply(op.enabled, parseProfile(op.profile));
                break;
            case Action::ProgramChange:
                foreground = op.foreground;
                break;
            case Action::ForegroundLoss:
                foreground = static_cast<int>(foregroundPrograms.size()) - 1;
                engine.checkForeground();
                break;
            case Action::Tick:
                engine.checkForeground();
                break;
            case Action::SwitchOff:
                engine.setEnabled(false);
                break;
            case Action::SwitchOn:
                engine.setEnabled(true);
                break;
            case Action::Stop:
                engine.stop();
                break;
            case Action::Wait:
                std::this_thread::sleep_for(std::chrono::milliseconds(op.milliseconds));
                break;
            }
            if (trace) {
                std::printf("  %-40s %-9s jobs %zu, keys sent %zu\n", op.describe().c_str(), result.c_str(),
                            engine.jobCount(), recorder.events());
            }
        }
        // Every key is up now: whatever is still running must end by itself, with its keys released.
        engine.checkForeground();
        try {
            engine.waitIdle();
        } catch (const std::exception&) {
            fail(std::to_string(engine.jobCount()) + " job(s) still running after every key came up");
        }
        if (const std::string problem = recorder.problem(); !problem.empty()) {
            fail(problem);
        }
        for (const auto& [vk, down] : programSees) {
            if (down) {
                fail("the program in front saw key " + std::to_string(vk) + " go down but never come up");
            }
        }
        engine.stop();
    } catch (const std::exception& e) {
        fail(std::string("the engine threw: ") + e.what());
        engine.stop();
    }
    if (engine.jobCount() != 0) {
        fail("a job is left after stop");
    }
    if (const std::string problem = recorder.problem(); !problem.empty()) {
        fail(problem + " after stop");
    }
    verdict.keyEvents = recorder.events();
    return verdict;
}

} // namespace kes::campaign
