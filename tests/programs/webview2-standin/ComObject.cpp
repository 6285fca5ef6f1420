#include "ComObject.h"

#include <objbase.h>

#include <cstring>

namespace standin {

Vtable::Vtable(const InterfaceInfo& info) : info_(&info), slots_(info.methods.size() + 3, nullptr) {
    slots_[0] = reinterpret_cast<Slot>(&ComObject::queryInterface);
    slots_[1] = reinterpret_cast<Slot>(&ComObject::addRefSlot);
    slots_[2] = reinterpret_cast<Slot>(&ComObject::releaseSlot);
}

ComObject::ComObject(const Vtable& vtable, const char* kind)
    : face_{vtable.slots(), this}, info_(vtable.info()), kind_(kind) {
    Ledger::instance().objectCreated(kind_);
}

ComObject::~ComObject() {
    Ledger::instance().objectDestroyed(kind_);
}

ULONG ComObject::release() {
    const ULONG remaining = --references_;
    if (remaining == 0)
        delete this;
    return remaining;
}

void ComObject::enter(const char* method) const {
    Ledger::instance().called(info_.name, method);
}

HRESULT STDMETHODCALLTYPE ComObject::queryInterface(void* self, REFIID iid, void** object) {
    ComObject& target = *static_cast<Face*>(self)->owner;
    target.enter("QueryInterface");
    if (object == nullptr)
        return E_POINTER;
    const bool stream = &target.info_ == &streamInterface && IsEqualIID(iid, sequentialStreamIid);
    if (IsEqualIID(iid, unknownIid) || IsEqualIID(iid, target.info_.iid) || stream) {
        target.addRef();
        *object = self;
        return S_OK;
    }
    wchar_t text[40] = {};
    StringFromGUID2(iid, text, 40);
    Ledger::instance().count(std::string(target.info_.name) + "::QueryInterface for " + utf8(text));
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE ComObject::addRefSlot(void* self) {
    ComObject& target = *static_cast<Face*>(self)->owner;
    target.enter("AddRef");
    return target.addRef();
}

ULONG STDMETHODCALLTYPE ComObject::releaseSlot(void* self) {
    ComObject& target = *static_cast<Face*>(self)->owner;
    target.enter("Release");
    return target.release();
}

LPWSTR hostString(const std::wstring& text) {
    const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    auto* copy = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
    if (copy != nullptr)
        std::memcpy(copy, text.c_str(), bytes);
    return copy;
}

std::string utf8(const std::wstring& text) {
    if (text.empty())
        return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string result(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size, nullptr,
                        nullptr);
    return result;
}

std::wstring wide(const std::string& text) {
    if (text.empty())
        return {};
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring result(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size);
    return result;
}

} // namespace standin
