#include "webhost/win32/WebView2Interfaces.h"

#include <gtest/gtest.h>

#include <objbase.h>

#include <string>

namespace kes::webview2 {
namespace {

std::wstring iidText(const IID& iid) {
    wchar_t text[40] = {};
    StringFromGUID2(iid, text, 40);
    return text;
}

#define SLOT(vtbl, member)                                                                                   \
    { #vtbl "::" #member, offsetof(vtbl, member) / sizeof(void*) }

struct Slot {
    const char* method;
    std::size_t slot;
};

// Every method the host calls on the runtime's objects or implements for it, with its position in the vtable
// of its interface (IUnknown's three methods come first).
TEST(WebView2Interfaces, EveryMethodTheHostUsesSitsInItsSlot) {
    const struct {
        Slot actual;
        std::size_t expected;
    } table[] = {
        {SLOT(ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandlerVtbl, Invoke), 3},
        {SLOT(ICoreWebView2CreateCoreWebView2ControllerCompletedHandlerVtbl, Invoke), 3},
        {SLOT(WebResourceRequestedHandlerVtbl, Invoke), 3},
        {SLOT(WebMessageReceivedHandlerVtbl, Invoke), 3},
        {SLOT(NavigationStartingHandlerVtbl, Invoke), 3},
        {SLOT(NewWindowRequestedHandlerVtbl, Invoke), 3},
        {SLOT(NavigationCompletedHandlerVtbl, Invoke), 3},
        {SLOT(ICoreWebView2EnvironmentVtbl, CreateCoreWebView2Controller), 3},
        {SLOT(ICoreWebView2EnvironmentVtbl, CreateWebResourceResponse), 4},
        {SLOT(ICoreWebView2ControllerVtbl, put_Bounds), 6},
        {SLOT(ICoreWebView2ControllerVtbl, Close), 24},
        {SLOT(ICoreWebView2ControllerVtbl, get_CoreWebView2), 25},
        {SLOT(ICoreWebView2Vtbl, get_Settings), 3},
        {SLOT(ICoreWebView2Vtbl, Navigate), 5},
        {SLOT(ICoreWebView2Vtbl, add_NavigationStarting), 7},
        {SLOT(ICoreWebView2Vtbl, add_NavigationCompleted), 15},
        {SLOT(ICoreWebView2Vtbl, ExecuteScript), 29},
        {SLOT(ICoreWebView2Vtbl, PostWebMessageAsJson), 32},
        {SLOT(ICoreWebView2Vtbl, add_WebMessageReceived), 34},
        {SLOT(ICoreWebView2Vtbl, add_NewWindowRequested), 44},
        {SLOT(ICoreWebView2Vtbl, add_WebResourceRequested), 55},
        {SLOT(ICoreWebView2Vtbl, AddWebResourceRequestedFilter), 57},
        {SLOT(ICoreWebView2SettingsVtbl, put_AreDevToolsEnabled), 12},
        {SLOT(ICoreWebView2SettingsVtbl, put_AreDefaultContextMenusEnabled), 14},
        {SLOT(ICoreWebView2WebResourceRequestedEventArgsVtbl, get_Request), 3},
        {SLOT(ICoreWebView2WebResourceRequestedEventArgsVtbl, put_Response), 5},
        {SLOT(ICoreWebView2WebResourceRequestVtbl, get_Uri), 3},
        {SLOT(ICoreWebView2WebResourceRequestVtbl, get_Method), 5},
        {SLOT(ICoreWebView2WebResourceRequestVtbl, get_Content), 7},
        {SLOT(ICoreWebView2WebMessageReceivedEventArgsVtbl, TryGetWebMessageAsString), 5},
        {SLOT(ICoreWebView2NavigationStartingEventArgsVtbl, get_Uri), 3},
        {SLOT(ICoreWebView2NavigationStartingEventArgsVtbl, put_Cancel), 8},
        {SLOT(ICoreWebView2NewWindowRequestedEventArgsVtbl, put_Handled), 6},
        {SLOT(ICoreWebView2NavigationCompletedEventArgsVtbl, get_IsSuccess), 3},
    };
    for (const auto& row : table)
        EXPECT_EQ(row.actual.slot, row.expected) << row.actual.method;
}

TEST(WebView2Interfaces, InterfacesHaveTheirFullLength) {
    // A slot missing or added before the end would shift nothing the host calls, but a wrong length says the
    // declaration no longer lists the interface as published.
    EXPECT_EQ(sizeof(ICoreWebView2EnvironmentVtbl) / sizeof(void*), 8u);
    EXPECT_EQ(sizeof(ICoreWebView2ControllerVtbl) / sizeof(void*), 26u);
    EXPECT_EQ(sizeof(ICoreWebView2Vtbl) / sizeof(void*), 61u);
    EXPECT_EQ(sizeof(ICoreWebView2SettingsVtbl) / sizeof(void*), 21u);
    EXPECT_EQ(sizeof(ICoreWebView2WebResourceRequestedEventArgsVtbl) / sizeof(void*), 8u);
    EXPECT_EQ(sizeof(ICoreWebView2WebResourceRequestVtbl) / sizeof(void*), 10u);
    EXPECT_EQ(sizeof(ICoreWebView2NavigationStartingEventArgsVtbl) / sizeof(void*), 10u);
    EXPECT_EQ(sizeof(ICoreWebView2NewWindowRequestedEventArgsVtbl) / sizeof(void*), 11u);
    EXPECT_EQ(sizeof(ICoreWebView2NavigationCompletedEventArgsVtbl) / sizeof(void*), 6u);
    EXPECT_EQ(sizeof(ICoreWebView2WebMessageReceivedEventArgsVtbl) / sizeof(void*), 6u);
    EXPECT_EQ(sizeof(EventRegistrationToken), 8u);
}

TEST(WebView2Interfaces, InterfaceIdentifiersAreThePublishedOnes) {
    const struct {
        const IID& iid;
        const wchar_t* text;
    } table[] = {
        {iidUnknown, L"{00000000-0000-0000-C000-000000000046}"},
        {iidEnvironmentCompletedHandler, L"{4E8A3389-C9D8-4BD2-B6B5-124FEE6CC14D}"},
        {iidControllerCompletedHandler, L"{6C4819F3-C9B7-4260-8127-C9F5BDE7F68C}"},
        {iidWebResourceRequestedHandler, L"{AB00B74C-15F1-4646-80E8-E76341D25D71}"},
        {iidWebMessageReceivedHandler, L"{57213F19-00E6-49FA-8E07-898EA01ECBD2}"},
        {iidNavigationStartingHandler, L"{9ADBE429-F36D-432B-9DDC-F8881FBD76E3}"},
        {iidNewWindowRequestedHandler, L"{D4C185FE-C81C-4989-97AF-2D3FA7AB5651}"},
        {iidNavigationCompletedHandler, L"{D33A35BF-1C49-4F98-93AB-006E0533FE1C}"},
        {iidEnvironment, L"{B96D755E-0319-4E92-A296-23436F46A1FC}"},
        {iidController, L"{4D00C0D1-9434-4EB6-8078-8697A560334F}"},
        {iidWebView, L"{76ECEACB-0462-4D94-AC83-423A6793775E}"},
        {iidSettings, L"{E562E4F0-D7FA-43AC-8D71-C05150499F00}"},
        {iidWebResourceRequestedEventArgs, L"{453E667F-12C7-49D4-BE6D-DDBE7956F57A}"},
        {iidWebResourceRequest, L"{97055CD4-512C-4264-8B5F-E3F446CEA6A5}"},
        {iidWebResourceResponse, L"{AAFCC94F-FA27-48FD-97DF-830EF75AAEC9}"},
        {iidWebMessageReceivedEventArgs, L"{0F99A40C-E962-4207-9E92-E3D542EFF849}"},
        {iidNavigationStartingEventArgs, L"{5B495469-E119-438A-9B18-7604F25F2E49}"},
        {iidNewWindowRequestedEventArgs, L"{34ACB11C-FC37-4418-9132-F9C21D1EAFB9}"},
        {iidNavigationCompletedEventArgs, L"{30D68B7D-20D9-4752-A9CA-EC8448FBB5C1}"},
    };
    for (const auto& row : table)
        EXPECT_EQ(iidText(row.iid), row.text);
}

#undef SLOT

} // namespace
} // namespace kes::webview2
