#pragma once
#include "engine/Engine.h"
#include "engine/Profile.h"
#include "storage/Log.h"

#include <functional>
#include <memory>

namespace kes::selfcheck {

// The engine as the self-check drives it: the real one in the program, a faulty one in the tests that show
// each check failing.
class CheckedEngine {
public:
    virtual ~CheckedEngine() = default;
    virtual void apply(bool enabled, Profile profile) = 0;
    virtual bool onKey(int vk, bool isDown, bool injected) = 0;
    virtual void checkForeground() = 0;
    virtual void waitIdle() = 0;
    virtual void stop() = 0;
    virtual bool isEnabled() const = 0;
};

// Makes the engine of one check around the check's recording sender and program matcher.
using CheckedEngineMaker = std::function<std::unique_ptr<CheckedEngine>(Log&, KeySender, ProgramMatcher)>;

// The real engine: the program's log, no statistics, no system hook.
std::unique_ptr<CheckedEngine> realEngine(Log& log, KeySender sender, ProgramMatcher matcher);

} // namespace kes::selfcheck
