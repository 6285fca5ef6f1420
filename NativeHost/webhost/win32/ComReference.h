#pragma once
#include "webhost/win32/WebView2Interfaces.h"

#include <utility>

namespace kes::webview2 {

// One counted reference to a COM object whose first member is its vtable pointer (every interface here).
template <typename Interface> class ComReference {
public:
    ComReference() = default;
    // Takes over a reference the caller already owns (an out parameter of the runtime).
    static ComReference adopt(Interface* object) {
        ComReference reference;
        reference.object_ = object;
        return reference;
    }
    // Adds a reference of its own (an argument the runtime lends for the length of a call).
    static ComReference share(Interface* object) {
        if (object != nullptr)
            unknownOf(object).AddRef(object);
        return adopt(object);
    }
    ComReference(ComReference&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    ComReference& operator=(ComReference&& other) noexcept {
        if (this != &other) {
            reset();
            object_ = std::exchange(other.object_, nullptr);
        }
        return *this;
    }
    ComReference(const ComReference&) = delete;
    ComReference& operator=(const ComReference&) = delete;
    ~ComReference() { reset(); }

    void reset() {
        if (Interface* object = std::exchange(object_, nullptr))
            unknownOf(object).Release(object);
    }
    Interface* get() const { return object_; }
    Interface* operator->() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }
    // For the runtime's out parameters: the reference held before is released first.
    Interface** put() {
        reset();
        return &object_;
    }

private:
    static const UnknownSlots& unknownOf(Interface* object) {
        return **reinterpret_cast<const UnknownSlots* const*>(object);
    }
    Interface* object_ = nullptr;
};

} // namespace kes::webview2
