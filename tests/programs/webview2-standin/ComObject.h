#pragma once
// The base of every object this library hands to the host: a COM face (its vtable pointer first), one
// reference count, and a vtable built from the interface's method list in which each method not
// implemented here answers E_NOTIMPL and is logged by name. Every call is counted and checked for its
// thread (Ledger); objects alive are counted by kind until their last Release.
#include "Interfaces.h"
#include "Ledger.h"

#include <atomic>
#include <cstddef>
#include <string_view>
#include <utility>
#include <vector>

namespace standin {

using Slot = void (*)();

template <const InterfaceInfo& Info, std::size_t Index> HRESULT STDMETHODCALLTYPE notImplemented(void*) {
    Ledger::instance().notImplemented(Info.name, Info.methods[Index]);
    return E_NOTIMPL;
}

class ComObject;

class Vtable {
public:
    template <const InterfaceInfo& Info> static Vtable make() {
        Vtable table(Info);
        table.fillStubs<Info>(std::make_index_sequence<Info.methods.size()>());
        return table;
    }
    // Puts an implementation into the slot of `method`.
    template <typename Function> Vtable& set(std::size_t slot, Function function) {
        slots_.at(slot) = reinterpret_cast<Slot>(function);
        return *this;
    }
    const Slot* slots() const { return slots_.data(); }
    const InterfaceInfo& info() const { return *info_; }

private:
    explicit Vtable(const InterfaceInfo& info);
    template <const InterfaceInfo& Info, std::size_t... I> void fillStubs(std::index_sequence<I...>) {
        ((slots_[I + 3] = reinterpret_cast<Slot>(&notImplemented<Info, I>)), ...);
    }
    const InterfaceInfo* info_;
    std::vector<Slot> slots_;
};

class ComObject {
public:
    ComObject(const Vtable& vtable, const char* kind);
    virtual ~ComObject();
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    // The interface pointer the host sees.
    void* face() { return &face_; }
    template <typename Object> static Object& of(void* self) {
        return static_cast<Object&>(*static_cast<Face*>(self)->owner);
    }

    ULONG addRef() { return ++references_; }
    ULONG release();
    // Counts a call of the host into this object's `method` and checks its thread.
    void enter(const char* method) const;
    const char* kind() const { return kind_; }

private:
    struct Face {
        const Slot* vtable;
        ComObject* owner;
    };
    static HRESULT STDMETHODCALLTYPE queryInterface(void* self, REFIID iid, void** object);
    static ULONG STDMETHODCALLTYPE addRefSlot(void* self);
    static ULONG STDMETHODCALLTYPE releaseSlot(void* self);
    friend class Vtable;

    Face face_;
    const InterfaceInfo& info_;
    const char* kind_;
    std::atomic<ULONG> references_{1};
};

// Holds one reference to an object of this library.
template <typename Object> class Owned {
public:
    Owned() = default;
    static Owned adopt(Object* object) {
        Owned owned;
        owned.object_ = object;
        return owned;
    }
    static Owned share(Object* object) {
        if (object != nullptr)
            object->addRef();
        return adopt(object);
    }
    Owned(Owned&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    Owned& operator=(Owned&& other) noexcept {
        if (this != &other) {
            reset();
            object_ = std::exchange(other.object_, nullptr);
        }
        return *this;
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    ~Owned() { reset(); }
    void reset() {
        if (Object* object = std::exchange(object_, nullptr))
            object->release();
    }
    Object* get() const { return object_; }
    Object* operator->() const { return object_; }
    Object& operator*() const { return *object_; }
    explicit operator bool() const { return object_ != nullptr; }
    // Hands a new reference out through an out parameter.
    void* give() const {
        object_->addRef();
        return object_->face();
    }

private:
    Object* object_ = nullptr;
};

// One reference to an object of the host (a handler, a stream).
class HostReference {
public:
    HostReference() = default;
    explicit HostReference(IUnknown* object) : object_(object) {
        if (object_ != nullptr)
            object_->AddRef();
    }
    HostReference(HostReference&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    HostReference& operator=(HostReference&& other) noexcept {
        if (this != &other) {
            reset();
            object_ = std::exchange(other.object_, nullptr);
        }
        return *this;
    }
    HostReference(const HostReference&) = delete;
    HostReference& operator=(const HostReference&) = delete;
    ~HostReference() { reset(); }
    void reset() {
        if (IUnknown* object = std::exchange(object_, nullptr))
            object->Release();
    }
    IUnknown* get() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }

private:
    IUnknown* object_ = nullptr;
};

// Calls slot 3 (Invoke) of a handler of the host.
template <typename... Args> HRESULT invokeHandler(IUnknown* handler, Args... args) {
    using Invoke = HRESULT(STDMETHODCALLTYPE*)(IUnknown*, Args...);
    const auto* vtable = *reinterpret_cast<const Slot* const*>(handler);
    return reinterpret_cast<Invoke>(vtable[3])(handler, args...);
}

// A copy of the text in memory the host frees with CoTaskMemFree.
LPWSTR hostString(const std::wstring& text);

std::string utf8(const std::wstring& text);
std::wstring wide(const std::string& text);

} // namespace standin
