#include "diagnostics/win32/AccessibleText.h"

#include "platform/TextConversion.h"

#include <oleacc.h>

#include <vector>

namespace kes::win32 {
namespace {

// IID_IAccessible, spelled out: MinGW defines that symbol in two import libraries at once.
constexpr IID accessibleInterface = {
    0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

constexpr int maximumDepth = 10;
constexpr long maximumChildren = 256;

void appendName(IAccessible& object, VARIANT child, std::wstring& text) {
    BSTR name = nullptr;
    if (SUCCEEDED(object.get_accName(child, &name)) && name != nullptr) {
        if (SysStringLen(name) > 0) {
            text.append(name, SysStringLen(name));
            text += L'\n';
        }
        SysFreeString(name);
    }
}

void visit(IAccessible& object, int depth, std::wstring& text) {
    if (depth > maximumDepth) {
        return;
    }
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    appendName(object, self, text);

    long count = 0;
    if (FAILED(object.get_accChildCount(&count)) || count <= 0) {
        return;
    }
    if (count > maximumChildren) {
        count = maximumChildren;
    }
    std::vector<VARIANT> children(static_cast<std::size_t>(count));
    for (VARIANT& child : children) {
        VariantInit(&child);
    }
    long fetched = 0;
    if (SUCCEEDED(AccessibleChildren(&object, 0, count, children.data(), &fetched))) {
        for (long i = 0; i < fetched && i < count; ++i) {
            VARIANT& child = children[static_cast<std::size_t>(i)];
            if (child.vt == VT_DISPATCH && child.pdispVal != nullptr) {
                IAccessible* inner = nullptr;
                if (SUCCEEDED(child.pdispVal->QueryInterface(accessibleInterface,
                                                             reinterpret_cast<void**>(&inner))) &&
                    inner != nullptr) {
                    visit(*inner, depth + 1, text);
                    inner->Release();
                }
            } else if (child.vt == VT_I4) {
                appendName(object, child, text);
            }
        }
    }
    for (VARIANT& child : children) {
        VariantClear(&child);
    }
}

} // namespace

std::string collectAccessibleText(HWND window) {
    IAccessible* root = nullptr;
    if (FAILED(AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), accessibleInterface,
                                          reinterpret_cast<void**>(&root))) ||
        root == nullptr) {
        return {};
    }
    std::wstring text;
    visit(*root, 0, text);
    root->Release();
    return toUtf8(text);
}

} // namespace kes::win32
