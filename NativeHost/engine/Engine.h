#pragma once
#include "engine/KeyLedger.h"
#include "engine/PerfCounters.h"
#include "engine/PlaybackLock.h"
#include "engine/Profile.h"
#include "platform/KeyboardHook.h"
#include "platform/MouseHook.h"
#include "platform/ProcessElevation.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace kes {

class JobThreads;
class Log;
class PreciseTimer;
struct PressedKey;
struct KeyOutput;
using PressedKeys = std::vector<PressedKey>;

namespace platform {
class CancelEvent;
class OneShotTimer;
} // namespace platform

// The engine's only path to key output: (virtual key, scan code, keybd_event flags).
using KeySender = std::function<void(unsigned char vk, unsigned char scan, unsigned long flags)>;
// Whether the program with this file name owns the foreground window; an empty name is always true.
// Called from the hook thread and from job threads at once, so it must be safe to call concurrently.
using ProgramMatcher = std::function<bool(const std::wstring& program)>;
// Told that the engine was switched on, with the message for the user.
using StatusCallback = std::function<void(bool enabled, const std::string& message)>;
// The hardware scan code of a virtual key in the current keyboard layout; 0 when there is none.
using ScanCodeLookup = std::function<unsigned(int vk)>;
ScanCodeLookup defaultScanCodeLookup();

// The system services behind the engine. Each one left empty is the system's own; tests replace them to
// make them fail.
struct EngineServices {
    // A job's one-shot timer, of the high-resolution kind when asked; null when none can be created.
    std::function<std::unique_ptr<platform::OneShotTimer>(bool highResolution)> makeTimer;
    // A job's cancel signal and its end signal (manual-reset); null when none can be created. A replacement
    // must hand out the system's own signals (or none), since the timer and the waits watch them.
    std::function<std::unique_ptr<platform::CancelEvent>()> makeSignal;
    // The system-wide keyboard hook; null when the system refuses.
    std::function<std::unique_ptr<platform::KeyboardHook>(platform::KeyboardHookHandler)> installHook;
    // The system-wide hook of the middle and side mouse buttons, installed and removed with the keyboard
    // hook; null when the system refuses or has none (mouse triggers then never fire).
    std::function<std::unique_ptr<platform::MouseHook>(platform::KeyboardHookHandler)> installMouseHook;
    // Whether this process runs elevated, and the elevation of the program in front, asked when a trigger
    // fires. The system's answers are used only by an engine with the hook, since only its events come from
    // the desktop.
    std::function<bool()> runsElevated;
    std::function<platform::ForegroundElevation()> foregroundElevation;
    // The keys down at this moment, asked when the engine is switched on. The system's answer is used only
    // by an engine with the hook, since only that one sees the keyboard.
    std::function<std::vector<int>()> keysDown;
    ScanCodeLookup scanCodeOf;
    // A whole number drawn evenly from [low, high], for the random delays of a macro with `jitter`. Called
    // from job threads at once, so it must be safe to call concurrently.
    std::function<int(int low, int high)> drawMilliseconds;
};

// The macro engine: matches keyboard events against the active profile and plays macros on job threads.
// Every operation except the job threads' own work runs on the user-interface thread, the thread that also
// runs the keyboard hook, so the profile, the pressed-key set and the job table need no lock.
class Engine {
public:
    struct Job;

    // An empty sender or matcher is replaced by the system's default one. With `noHook`, switching on
    // installs no keyboard hook and events arrive only through direct onKey calls.
    Engine(Log& log, PerfCounters* counters, bool noHook, KeySender sender, ProgramMatcher matcher,
           EngineServices services = {});
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // Switching on installs the hook (unless noHook), logs the start-up line and reports through
    // statusCallback; switching off is stop(). Throws "已有全局宏引擎" or "无法安装全局键盘监听" and stays
    // off.
    void setEnabled(bool on);
    // Installs a new profile, then setEnabled(enabled). A running job is kept only while the new profile has
    // its macro unchanged and the same program; the others are cancelled.
    void apply(bool enabled, Profile profile);
    // Switches off completely: hook removed, every job cancelled and joined, pressed-key set emptied.
    void stop();
    // Cancels every job and returns once all their threads have ended and released their keys. Our keyboard
    // hooks on this thread keep being called meanwhile.
    void cancelAll();
    // Cancels the jobs whose program no longer owns the foreground window.
    void checkForeground();
    // Waits about two seconds at most for every job to end; throws "执行线程未结束" otherwise.
    void waitIdle();
    // One keyboard event; true means it is swallowed.
    bool onKey(int vk, bool isDown, bool injected);

    // What releaseHeldKeys did.
    struct Release {
        std::size_t jobsEnded = 0;
        std::size_t keysReleased = 0; // keys our jobs held down when it began
    };
    // Ends every job and brings up every key they held (the session is locked, the system suspends, the user
    // logs off). The master switch and the profile stay as they are, and so does what the engine knows of the
    // keys held on the keyboard: a trigger held meanwhile starts nothing by its auto-repeat, only by a new
    // press (its down after its up, or after more than a second without a down).
    Release releaseHeldKeys();

    // Installs the keyboard hook again after the system removed it behind our back. Does nothing without a
    // hook; when the system refuses, the engine is switched off and "无法安装全局键盘监听" is thrown.
    void repairHook();
    bool hasHook() const { return hook_ != nullptr; }
    // How many events the hook procedure has been called with since the engine was made.
    std::uint64_t hookEventCount() const { return hookEvents_.load(std::memory_order_relaxed); }

    bool isEnabled() const { return enabled_; }
    // Whether the key is down, a side-neutral Shift, Ctrl, Alt or Win also matching its left and right keys.
    bool isPressed(int vk) const;

    // Inspection for checks and tests.
    bool hasJob(const std::string& jobKey) const { return jobs_.count(jobKey) != 0; }
    std::size_t jobCount() const { return jobs_.size(); }
    std::size_t pressedKeyCount() const { return pressedKeys_.size(); }
    const KeyLedger& keyLedger() const { return ledger_; }

private:
    // A macro that may claim events of one key: by its trigger, or ("repeat") by one of its single-key steps.
    enum class Behavior : std::uint8_t { Once, Hold, Repeat, Latch };
    struct Candidate {
        std::uint32_t macro; // index into macros_
        std::uint32_t step;  // "repeat": the first step holding only this key
        Behavior behavior;
    };

    // The keyboard hook's procedure: dispatches to the engine that owns the hook.
    static std::intptr_t hookProcedure(const platform::KeyboardHookEvent& event,
                                       const platform::NextHook& next);
    // The mouse hook's procedure: the middle and side buttons as keys of the same matching.
    static std::intptr_t mouseHookProcedure(const platform::KeyboardHookEvent& event,
                                            const platform::NextHook& next);

    void installHook();
    void removeHook();
    // Asked when a trigger fires: true when the program in front runs elevated and this process does not,
    // so that our keys would not reach it. Tells the user once per program.
    bool outputBlockedByElevation();
    void indexMacros();
    // Starts `macro` (the profile's macro, or for "repeat" its one step) unless the key has a job.
    void startJob(const std::string& jobKey, const Macro& profileMacro, Macro macro);
    void cancelJob(const std::string& jobKey);
    void reapFinished();
    // A down of a key held at the last releaseHeldKeys: whether it ends that hold (a new press).
    bool endsHoldAcrossRelease(int vk);
    void waitForEnd(Job& job);

    // Job thread.
    static void runJob(Engine* engine, const std::shared_ptr<Job>& job, const Macro& macro);
    void playMacro(Job& job, PreciseTimer& timer, const Macro& macro);
    template <typename Pass> void lockedPass(Job& job, PreciseTimer& timer, Pass&& pass);
    // Plays `steps` in order, each followed by its gap but the last unless `gapAfterLast`; the keys the steps
    // keep down are released when the pass ends, however it ends.
    void playSteps(Job& job, PreciseTimer& timer, const Macro& macro, bool gapAfterLast);
    void playStep(Job& job, PreciseTimer& timer, const Macro& macro, const Step& step, PressedKeys& kept,
                  const KeyOutput& output, bool withGap);
    void latchPass(Job& job, PreciseTimer& timer, const Macro& macro);
    // A hold or gap of `macro` as it is waited: the set time, or with jitter a time drawn around it.
    int drawnMilliseconds(const Macro& macro, int set, int minimum);

    std::wstring program_;
    std::vector<Macro> macros_;
    std::set<int> pressedKeys_;
    std::map<std::string, std::shared_ptr<Job>> jobs_;
    PlaybackLock playbackLock_;
    std::unique_ptr<platform::KeyboardHook> hook_;
    std::unique_ptr<platform::MouseHook> mouseHook_;
    bool enabled_ = false;
    bool noHook_;
    bool systemOutput_; // no sender was given: the keys go to the system (set before sender_ takes it)
    KeySender sender_;
    ProgramMatcher matcher_;
    Log& log_;
    PerfCounters* counters_;
    EngineServices services_;

    // The enabled macros by the key whose events they may claim, in profile order; rebuilt with the profile.
    std::vector<std::vector<Candidate>> candidatesByKey_;
    // Keys whose every down event of the current press was swallowed: only their up events may be swallowed
    // too, so a program never sees a key go down without seeing it come up.
    std::set<int> swallowedPresses_;
    // Keys that were down when the engine was switched on, until they come up: the program in front saw
    // them go down, so their up events are never swallowed.
    std::set<int> downAtSwitchOn_;
    // Keys whose current press was passed on because the program in front runs elevated: their auto-repeats
    // and their release go on too.
    std::set<int> passedForElevation_;
    // The programs (file names in lower case) the user was told about; each one only once per run.
    std::set<std::wstring> toldElevated_;
    bool selfElevated_ = false;
    // Keys held on the keyboard at the last releaseHeldKeys whose release the hook has not seen yet, with the
    // time (performance counter) of their last down.
    std::map<int, std::int64_t> keysHeldAtRelease_;
    // The keys the jobs hold down, readable from any thread; the crash path empties it.
    KeyLedger ledger_;
    std::atomic<std::uint64_t> hookEvents_{0};
    // The threads that play the jobs; declared last, so that they have ended before anything they use goes.
    std::unique_ptr<JobThreads> jobThreads_;

public:
    // Assigned by the web view host once the page exists; called only when set.
    StatusCallback statusCallback;
    // Assigned by the web view host: a message for the user, shown by the page as a toast.
    std::function<void(const std::string& message)> noticeCallback;
};

} // namespace kes
