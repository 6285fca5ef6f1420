#pragma once
#include "webhost/win32/ComReference.h"
#include "webhost/win32/WebView2Interfaces.h"

#include <atomic>
#include <functional>

namespace kes::webview2 {

// The host's completion and event handlers as COM objects: a vtable of QueryInterface, AddRef, Release and
// Invoke, a reference count, and the function Invoke forwards to. An object answers QueryInterface for
// IUnknown and its own interface only, and deletes itself when the last reference goes. Exceptions never
// leave Invoke: they become E_UNEXPECTED.

template <typename InvokeSlot> struct InvokeShape;
template <typename... Args> struct InvokeShape<HRESULT(STDMETHODCALLTYPE*)(void*, Args...)> {
    using Function = std::function<HRESULT(Args...)>;
    template <typename Object> static HRESULT STDMETHODCALLTYPE invoke(void* self, Args... args) {
        return static_cast<Object*>(self)->call(args...);
    }
};

template <typename Vtbl> class CallbackObject {
    using Shape = InvokeShape<decltype(Vtbl::Invoke)>;

public:
    using Function = typename Shape::Function;

    // A new object holding one reference, which the caller owns.
    static ComReference<CallbackObject> create(const IID& iid, Function function) {
        return ComReference<CallbackObject>::adopt(new CallbackObject(iid, std::move(function)));
    }

    template <typename... Args> HRESULT call(Args... args) noexcept {
        try {
            return function_(args...);
        } catch (...) {
            return E_UNEXPECTED;
        }
    }

    ULONG references() const { return references_; }

private:
    CallbackObject(const IID& iid, Function function)
        : vtable_(&table), references_(1), iid_(iid), function_(std::move(function)) {}

    static HRESULT STDMETHODCALLTYPE queryInterface(void* self, REFIID iid, void** object) {
        if (object == nullptr)
            return E_POINTER;
        auto* callback = static_cast<CallbackObject*>(self);
        if (IsEqualIID(iid, iidUnknown) || IsEqualIID(iid, callback->iid_)) {
            addRef(self);
            *object = self;
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    static ULONG STDMETHODCALLTYPE addRef(void* self) {
        return ++static_cast<CallbackObject*>(self)->references_;
    }
    static ULONG STDMETHODCALLTYPE release(void* self) {
        auto* callback = static_cast<CallbackObject*>(self);
        const ULONG remaining = --callback->references_;
        if (remaining == 0)
            delete callback;
        return remaining;
    }

    static constexpr Vtbl table{{&queryInterface, &addRef, &release},
                                &Shape::template invoke<CallbackObject>};

    const Vtbl* vtable_; // first: a pointer to the object is its interface pointer
    std::atomic<ULONG> references_;
    IID iid_;
    Function function_;
};

using EnvironmentCompletedCallback =
    CallbackObject<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandlerVtbl>;
using ControllerCompletedCallback =
    CallbackObject<ICoreWebView2CreateCoreWebView2ControllerCompletedHandlerVtbl>;
template <typename Args> using EventCallback = CallbackObject<EventHandlerVtbl<Args>>;

} // namespace kes::webview2
