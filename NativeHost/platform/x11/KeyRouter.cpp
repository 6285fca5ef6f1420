#include "platform/x11/KeyRouter.h"

namespace kes::platform::x11 {

std::optional<RoutedKeyEvent> KeyRouter::route(const X11KeyEvent& event) const {
    const bool grabbedKey = grabbed_.count(event.keycode) != 0;
    RoutedKeyEvent routed;
    routed.keycode = event.keycode;
    routed.kind = event.press ? KeyEventKind::Down : KeyEventKind::Up;
    routed.injected = isSynthetic(event.sourceDevice);
    if (event.source == X11KeySource::Grabbed) {
        // Releases arrive grabbed only while a grab we already gave up is still being torn down.
        if (!event.press)
            return std::nullopt;
        routed.decides = true;
        return routed;
    }
    if (event.press && grabbedKey)
        return std::nullopt;
    return routed;
}

} // namespace kes::platform::x11
