#include "diagnostics/CheckedEngine.h"

namespace kes::selfcheck {
namespace {

class RealEngine final : public CheckedEngine {
public:
    RealEngine(Log& log, KeySender sender, ProgramMatcher matcher)
        : engine_(log, nullptr, true, std::move(sender), std::move(matcher)) {}
    void apply(bool enabled, Profile profile) override { engine_.apply(enabled, std::move(profile)); }
    bool onKey(int vk, bool isDown, bool injected) override { return engine_.onKey(vk, isDown, injected); }
    void checkForeground() override { engine_.checkForeground(); }
    void waitIdle() override { engine_.waitIdle(); }
    void stop() override { engine_.stop(); }
    bool isEnabled() const override { return engine_.isEnabled(); }

private:
    Engine engine_;
};

} // namespace

std::unique_ptr<CheckedEngine> realEngine(Log& log, KeySender sender, ProgramMatcher matcher) {
    return std::make_unique<RealEngine>(log, std::move(sender), std::move(matcher));
}

} // namespace kes::selfcheck
