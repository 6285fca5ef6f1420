#include "Scenario.h"
#include "Trace.h"

#include <algorithm>
#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kes::e2e {
namespace {

std::string keyName(int vk) {
    if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9')) {
        return std::string(1, static_cast<char>(vk));
    }
    if (vk >= 112 && vk <= 135) {
        return std::string("F").append(std::to_string(vk - 111));
    }
    return std::string("vk").append(std::to_string(vk));
}

using Records = std::vector<HookRecord>;

// The hook records of one phase, in input order.
Records phaseRecords(const Trace& trace, Phase phase) {
    Records out;
    for (const HookRecord& r : trace.hook) {
        if (r.phase == phase) {
            out.push_back(r);
        }
    }
    return out;
}

std::optional<std::size_t> findPhysical(const Records& records, int vk, bool down, std::size_t from = 0) {
    for (std::size_t i = from; i < records.size(); ++i) {
        if (records[i].vk == vk && records[i].down == down && !records[i].injected) {
            return i;
        }
    }
    return std::nullopt;
}

Records injectedBetween(const Records& records, std::size_t begin, std::size_t end) {
    Records out;
    for (std::size_t i = begin; i < end && i < records.size(); ++i) {
        if (records[i].injected) {
            out.push_back(records[i]);
        }
    }
    return out;
}

int count(const Records& records, int vk, bool down) {
    return static_cast<int>(std::count_if(records.begin(), records.end(),
                                          [&](const HookRecord& r) { return r.vk == vk && r.down == down; }));
}

bool sameKeys(const Records& records, const std::vector<std::pair<int, bool>>& expected) {
    if (records.size() != expected.size()) {
        return false;
    }
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (records[i].vk != expected[i].first || records[i].down != expected[i].second) {
            return false;
        }
    }
    return true;
}

// The part of phase 1 that belongs to one scenario key: from its first physical press to the first
// physical press of any other scenario key after it, with the index of its physical release.
struct Segment {
    std::size_t press;
    std::size_t release;
    std::size_t end;
    Records injectedWhileHeld() const { return injectedBetween(records, press, release); }
    Records injectedAfterRelease() const { return injectedBetween(records, release, end); }
    Records injected() const { return injectedBetween(records, press, end); }
    const Records& records;
};

std::optional<Segment> segmentOf(const Records& records, int vk, std::string& problem) {
    const auto press = findPhysical(records, vk, true);
    if (!press) {
        problem = "no physical (not injected) " + keyName(vk) + " press reached the hooks";
        return std::nullopt;
    }
    const auto release = findPhysical(records, vk, false, *press);
    if (!release) {
        problem = "no physical " + keyName(vk) + " release reached the hooks";
        return std::nullopt;
    }
    std::size_t end = records.size();
    for (int other : scenarioKeys) {
        if (other == vk) {
            continue;
        }
        if (const auto next = findPhysical(records, other, true, *press)) {
            end = std::min(end, *next);
        }
    }
    end = std::max(end, *release);
    return Segment{*press, *release, end, records};
}

Verdict onceVerdict(const Records& own) {
    Verdict v{"once (F1 plays A, B one time)", false, ""};
    std::string problem;
    const auto s = segmentOf(own, onceTrigger, problem);
    if (!s) {
        v.detail = problem;
        return v;
    }
    const Records out = s->injected();
    v.passed = sameKeys(out, {{keyA, true}, {keyA, false}, {keyB, true}, {keyB, false}});
    v.detail = "output " + describe(out);
    return v;
}

// "hold" and "repeat": more than one pass while the key is held, nothing pressed after its release,
// every key that went down came up, and no other key.
Verdict loopVerdict(const Records& own, std::string name, int trigger, int output) {
    Verdict v{std::move(name), false, ""};
    std::string problem;
    const auto s = segmentOf(own, trigger, problem);
    if (!s) {
        v.detail = problem;
        return v;
    }
    const Records held = s->injectedWhileHeld();
    const Records after = s->injectedAfterRelease();
    const Records all = s->injected();
    const int passes = count(held, output, true);
    const bool onlyOutput =
        std::all_of(all.begin(), all.end(), [&](const HookRecord& r) { return r.vk == output; });
    v.passed = passes > 1 && count(after, output, true) == 0 &&
               count(all, output, true) == count(all, output, false) && onlyOutput;
    v.detail = std::to_string(passes) + " presses of " + keyName(output) + " while held; after the release " +
               (after.empty() ? std::string("nothing") : describe(after));
    if (!onlyOutput) {
        v.detail += "; unexpected keys in " + describe(all);
    }
    return v;
}

Verdict latchVerdict(const Records& own) {
    Verdict v{"latch (F4 plays G, keeps H down until F4 comes up)", false, ""};
    std::string problem;
    const auto s = segmentOf(own, latchTrigger, problem);
    if (!s) {
        v.detail = problem;
        return v;
    }
    const Records held = s->injectedWhileHeld();
    const Records after = s->injectedAfterRelease();
    v.passed =
        sameKeys(held, {{keyG, true}, {keyG, false}, {keyH, true}}) && sameKeys(after, {{keyH, false}});
    v.detail = "while held " + describe(held) + "; after the release " + describe(after);
    return v;
}

using Counts = std::map<std::pair<int, bool>, int>;

Counts hookCounts(const Records& records, bool injected) {
    Counts counts;
    for (const HookRecord& r : records) {
        if (r.injected == injected && !isDriverKey(r.vk)) {
            ++counts[{r.vk, r.down}];
        }
    }
    return counts;
}

Counts editCounts(const Trace& trace, Phase phase) {
    Counts counts;
    for (const EditRecord& r : trace.edit) {
        if (r.phase == phase) {
            ++counts[{r.vk, r.down}];
        }
    }
    return counts;
}

std::string differences(const Counts& expected, const Counts& actual) {
    std::map<std::pair<int, bool>, std::pair<int, int>> both;
    for (const auto& [key, n] : expected) {
        both[key].first = n;
    }
    for (const auto& [key, n] : actual) {
        both[key].second = n;
    }
    std::string out;
    for (const auto& [key, n] : both) {
        if (n.first != n.second) {
            if (!out.empty()) {
                out += ", ";
            }
            out += key.second ? '+' : '-';
            out += keyName(key.first) + " expected " + std::to_string(n.first) + " got " +
                   std::to_string(n.second);
        }
    }
    return out;
}

std::string typedText(const Records& records) {
    std::string text;
    for (const HookRecord& r : records) {
        if (r.injected && r.down && r.vk >= 'A' && r.vk <= 'Z') {
            text += static_cast<char>(r.vk - 'A' + 'a');
        }
    }
    return text;
}

// Phase 1: what reached the edit control is exactly the engine's output: no trigger key, no
// physical E, nothing lost.
Verdict ownArrivalVerdict(const Trace& trace, const Records& own) {
    Verdict v{"the edit control received exactly the macros' output, no trigger key", false, ""};
    const std::string diff = differences(hookCounts(own, true), editCounts(trace, Phase::OwnProgram));
    const std::string expectedText = typedText(own);
    v.passed = diff.empty() && trace.textAfterOwnProgram == expectedText;
    v.detail = "text \"" + trace.textAfterOwnProgram + "\"";
    if (trace.textAfterOwnProgram != expectedText) {
        v.detail += ", expected \"" + expectedText + "\"";
    }
    if (!diff.empty()) {
        v.detail += "; key messages: " + diff;
    }
    return v;
}

// Phase 2: the profile's program is not in front, so nothing plays and every key, the up events of
// the "hold" and "latch" triggers included, reaches the program in front.
Verdict otherProgramVerdict(const Trace& trace, const Records& other) {
    Verdict v{"a profile bound to another program plays nothing and passes every key on", false, ""};
    const Records injected = injectedBetween(other, 0, other.size());
    std::string missing;
    for (int vk : scenarioKeys) {
        if (!findPhysical(other, vk, true) || !findPhysical(other, vk, false)) {
            missing += (missing.empty() ? "" : ", ") + keyName(vk);
        }
    }
    const std::string diff = differences(hookCounts(other, false), editCounts(trace, Phase::OtherProgram));
    const std::string typed = trace.textAtEnd.size() >= trace.textAfterOwnProgram.size()
                                  ? trace.textAtEnd.substr(trace.textAfterOwnProgram.size())
                                  : std::string("?");
    const std::string expectedTyped(static_cast<std::size_t>(count(other, repeatKey, true)), 'e');
    const bool textOk = trace.textAtEnd.rfind(trace.textAfterOwnProgram, 0) == 0 && typed == expectedTyped;
    v.passed = trace.sawNextPhase && injected.empty() && missing.empty() && diff.empty() && textOk;
    if (!trace.sawNextPhase) {
        v.detail = "the driver's F11 never arrived";
        return v;
    }
    v.detail = "output " + (injected.empty() ? std::string("none") : describe(injected)) + "; typed \"" +
               typed + "\"";
    if (!textOk) {
        v.detail += ", expected \"" + expectedTyped + "\"";
    }
    if (!missing.empty()) {
        v.detail += "; never pressed and released: " + missing;
    }
    if (!diff.empty()) {
        v.detail += "; key messages: " + diff;
    }
    return v;
}

} // namespace

std::string describe(const std::vector<HookRecord>& records) {
    std::string out;
    for (const HookRecord& r : records) {
        if (!out.empty()) {
            out += ' ';
        }
        out += r.down ? '+' : '-';
        out += keyName(r.vk);
        if (r.injected) {
            out += '*';
        }
    }
    return out.empty() ? "(nothing)" : out;
}

std::vector<Verdict> judge(const Trace& trace) {
    const Records own = phaseRecords(trace, Phase::OwnProgram);
    const Records other = phaseRecords(trace, Phase::OtherProgram);
    std::vector<Verdict> verdicts;
    verdicts.push_back(onceVerdict(own));
    verdicts.push_back(loopVerdict(own, "hold (F2 loops C while held)", holdTrigger, keyC));
    verdicts.push_back(loopVerdict(own, "repeat (E fires E while held)", repeatKey, keyE));
    verdicts.push_back(latchVerdict(own));
    verdicts.push_back(ownArrivalVerdict(trace, own));
    verdicts.push_back(otherProgramVerdict(trace, other));

    std::string leftDown;
    for (int vk : trace.keysLeftDown) {
        leftDown += (leftDown.empty() ? "" : ", ") + keyName(vk);
    }
    verdicts.push_back({"no output key left down after the engine stopped", trace.keysLeftDown.empty(),
                        leftDown.empty() ? "all up" : "still down: " + leftDown});
    verdicts.push_back({"the engine logged no error", trace.engineErrors.empty(),
                        trace.engineErrors.empty() ? "error log empty" : trace.engineErrors});
    verdicts.push_back({"the driver finished the run (F12)", trace.sawFinish,
                        trace.sawFinish ? "finished" : "timed out waiting for F12"});
    return verdicts;
}

} // namespace kes::e2e
