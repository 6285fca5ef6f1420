#pragma once
// The WebView2 interfaces this client library implements, declared on their own from Microsoft's published
// reference (not from the host's header, so that a wrong slot or identifier there shows up here as a call
// to the wrong method): each interface's identifier and the names of its methods in vtable order after
// IUnknown's three.
#include <windows.h>

#include <objbase.h>

#include <array>
#include <cstddef>
#include <span>
#include <string_view>

namespace standin {

struct InterfaceInfo {
    const char* name;
    IID iid;
    std::span<const char* const> methods; // after QueryInterface, AddRef and Release
};

inline constexpr std::array environmentMethods{"CreateCoreWebView2Controller", "CreateWebResourceResponse",
                                               "get_BrowserVersionString", "add_NewBrowserVersionAvailable",
                                               "remove_NewBrowserVersionAvailable"};

inline constexpr std::array controllerMethods{"get_IsVisible",
                                              "put_IsVisible",
                                              "get_Bounds",
                                              "put_Bounds",
                                              "get_ZoomFactor",
                                              "put_ZoomFactor",
                                              "add_ZoomFactorChanged",
                                              "remove_ZoomFactorChanged",
                                              "SetBoundsAndZoomFactor",
                                              "MoveFocus",
                                              "add_MoveFocusRequested",
                                              "remove_MoveFocusRequested",
                                              "add_GotFocus",
                                              "remove_GotFocus",
                                              "add_LostFocus",
                                              "remove_LostFocus",
                                              "add_AcceleratorKeyPressed",
                                              "remove_AcceleratorKeyPressed",
                                              "get_ParentWindow",
                                              "put_ParentWindow",
                                              "NotifyParentWindowPositionChanged",
                                              "Close",
                                              "get_CoreWebView2"};

inline constexpr std::array webViewMethods{"get_Settings",
                                           "get_Source",
                                           "Navigate",
                                           "NavigateToString",
                                           "add_NavigationStarting",
                                           "remove_NavigationStarting",
                                           "add_ContentLoading",
                                           "remove_ContentLoading",
                                           "add_SourceChanged",
                                           "remove_SourceChanged",
                                           "add_HistoryChanged",
                                           "remove_HistoryChanged",
                                           "add_NavigationCompleted",
                                           "remove_NavigationCompleted",
                                           "add_FrameNavigationStarting",
                                           "remove_FrameNavigationStarting",
                                           "add_FrameNavigationCompleted",
                                           "remove_FrameNavigationCompleted",
                                           "add_ScriptDialogOpening",
                                           "remove_ScriptDialogOpening",
                                           "add_PermissionRequested",
                                           "remove_PermissionRequested",
                                           "add_ProcessFailed",
                                           "remove_ProcessFailed",
                                           "AddScriptToExecuteOnDocumentCreated",
                                           "RemoveScriptToExecuteOnDocumentCreated",
                                           "ExecuteScript",
                                           "CapturePreview",
                                           "Reload",
                                           "PostWebMessageAsJson",
                                           "PostWebMessageAsString",
                                           "add_WebMessageReceived",
                                           "remove_WebMessageReceived",
                                           "CallDevToolsProtocolMethod",
                                           "get_BrowserProcessId",
                                           "get_CanGoBack",
                                           "get_CanGoForward",
                                           "GoBack",
                                           "GoForward",
                                           "GetDevToolsProtocolEventReceiver",
                                           "Stop",
                                           "add_NewWindowRequested",
                                           "remove_NewWindowRequested",
                                           "add_DocumentTitleChanged",
                                           "remove_DocumentTitleChanged",
                                           "get_DocumentTitle",
                                           "AddHostObjectToScript",
                                           "RemoveHostObjectFromScript",
                                           "OpenDevToolsWindow",
                                           "add_ContainsFullScreenElementChanged",
                                           "remove_ContainsFullScreenElementChanged",
                                           "get_ContainsFullScreenElement",
                                           "add_WebResourceRequested",
                                           "remove_WebResourceRequested",
                                           "AddWebResourceRequestedFilter",
                                           "RemoveWebResourceRequestedFilter",
                                           "add_WindowCloseRequested",
                                           "remove_WindowCloseRequested"};

inline constexpr std::array settingsMethods{"get_IsScriptEnabled",
                                            "put_IsScriptEnabled",
                                            "get_IsWebMessageEnabled",
                                            "put_IsWebMessageEnabled",
                                            "get_AreDefaultScriptDialogsEnabled",
                                            "put_AreDefaultScriptDialogsEnabled",
                                            "get_IsStatusBarEnabled",
                                            "put_IsStatusBarEnabled",
                                            "get_AreDevToolsEnabled",
                                            "put_AreDevToolsEnabled",
                                            "get_AreDefaultContextMenusEnabled",
                                            "put_AreDefaultContextMenusEnabled",
                                            "get_AreHostObjectsAllowed",
                                            "put_AreHostObjectsAllowed",
                                            "get_IsZoomControlEnabled",
                                            "put_IsZoomControlEnabled",
                                            "get_IsBuiltInErrorPageEnabled",
                                            "put_IsBuiltInErrorPageEnabled"};

inline constexpr std::array resourceRequestedArgsMethods{"get_Request", "get_Response", "put_Response",
                                                         "GetDeferral", "get_ResourceContext"};
inline constexpr std::array resourceRequestMethods{"get_Uri",     "put_Uri",     "get_Method", "put_Method",
                                                   "get_Content", "put_Content", "get_Headers"};
inline constexpr std::array resourceResponseMethods{"get_Content",     "put_Content",    "get_Headers",
                                                    "get_StatusCode",  "put_StatusCode", "get_ReasonPhrase",
                                                    "put_ReasonPhrase"};
inline constexpr std::array webMessageArgsMethods{"get_Source", "get_WebMessageAsJson",
                                                  "TryGetWebMessageAsString"};
inline constexpr std::array navigationStartingArgsMethods{
    "get_Uri",    "get_IsUserInitiated", "get_IsRedirected", "get_RequestHeaders",
    "get_Cancel", "put_Cancel",          "get_NavigationId"};
inline constexpr std::array newWindowArgsMethods{"get_Uri",     "put_NewWindow",     "get_NewWindow",
                                                 "put_Handled", "get_Handled",       "get_IsUserInitiated",
                                                 "GetDeferral", "get_WindowFeatures"};
inline constexpr std::array navigationCompletedArgsMethods{"get_IsSuccess", "get_WebErrorStatus",
                                                           "get_NavigationId"};
// The request content handed to the host: IStream after ISequentialStream.
inline constexpr std::array streamMethods{"Read",         "Write",  "Seek",   "SetSize",
                                          "CopyTo",       "Commit", "Revert", "LockRegion",
                                          "UnlockRegion", "Stat",   "Clone"};

inline constexpr InterfaceInfo environmentInterface{
    "ICoreWebView2Environment",
    {0xb96d755e, 0x0319, 0x4e92, {0xa2, 0x96, 0x23, 0x43, 0x6f, 0x46, 0xa1, 0xfc}},
    environmentMethods};
inline constexpr InterfaceInfo controllerInterface{
    "ICoreWebView2Controller",
    {0x4d00c0d1, 0x9434, 0x4eb6, {0x80, 0x78, 0x86, 0x97, 0xa5, 0x60, 0x33, 0x4f}},
    controllerMethods};
inline constexpr InterfaceInfo webViewInterface{
    "ICoreWebView2",
    {0x76eceacb, 0x0462, 0x4d94, {0xac, 0x83, 0x42, 0x3a, 0x67, 0x93, 0x77, 0x5e}},
    webViewMethods};
inline constexpr InterfaceInfo settingsInterface{
    "ICoreWebView2Settings",
    {0xe562e4f0, 0xd7fa, 0x43ac, {0x8d, 0x71, 0xc0, 0x51, 0x50, 0x49, 0x9f, 0x00}},
    settingsMethods};
inline constexpr InterfaceInfo resourceRequestedArgsInterface{
    "ICoreWebView2WebResourceRequestedEventArgs",
    {0x453e667f, 0x12c7, 0x49d4, {0xbe, 0x6d, 0xdd, 0xbe, 0x79, 0x56, 0xf5, 0x7a}},
    resourceRequestedArgsMethods};
inline constexpr InterfaceInfo resourceRequestInterface{
    "ICoreWebView2WebResourceRequest",
    {0x97055cd4, 0x512c, 0x4264, {0x8b, 0x5f, 0xe3, 0xf4, 0x46, 0xce, 0xa6, 0xa5}},
    resourceRequestMethods};
inline constexpr InterfaceInfo resourceResponseInterface{
    "ICoreWebView2WebResourceResponse",
    {0xaafcc94f, 0xfa27, 0x48fd, {0x97, 0xdf, 0x83, 0x0e, 0xf7, 0x5a, 0xae, 0xc9}},
    resourceResponseMethods};
inline constexpr InterfaceInfo webMessageArgsInterface{
    "ICoreWebView2WebMessageReceivedEventArgs",
    {0x0f99a40c, 0xe962, 0x4207, {0x9e, 0x92, 0xe3, 0xd5, 0x42, 0xef, 0xf8, 0x49}},
    webMessageArgsMethods};
inline constexpr InterfaceInfo navigationStartingArgsInterface{
    "ICoreWebView2NavigationStartingEventArgs",
    {0x5b495469, 0xe119, 0x438a, {0x9b, 0x18, 0x76, 0x04, 0xf2, 0x5f, 0x2e, 0x49}},
    navigationStartingArgsMethods};
inline constexpr InterfaceInfo newWindowArgsInterface{
    "ICoreWebView2NewWindowRequestedEventArgs",
    {0x34acb11c, 0xfc37, 0x4418, {0x91, 0x32, 0xf9, 0xc2, 0x1d, 0x1e, 0xaf, 0xb9}},
    newWindowArgsMethods};
inline constexpr InterfaceInfo navigationCompletedArgsInterface{
    "ICoreWebView2NavigationCompletedEventArgs",
    {0x30d68b7d, 0x20d9, 0x4752, {0xa9, 0xca, 0xec, 0x84, 0x48, 0xfb, 0xb5, 0xc1}},
    navigationCompletedArgsMethods};
inline constexpr InterfaceInfo streamInterface{
    "IStream", {0x0000000c, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}}, streamMethods};

// The handlers the host hands in: their identifiers, which they must answer QueryInterface for.
inline constexpr IID environmentCompletedHandlerIid{
    0x4e8a3389, 0xc9d8, 0x4bd2, {0xb6, 0xb5, 0x12, 0x4f, 0xee, 0x6c, 0xc1, 0x4d}};
inline constexpr IID controllerCompletedHandlerIid{
    0x6c4819f3, 0xc9b7, 0x4260, {0x81, 0x27, 0xc9, 0xf5, 0xbd, 0xe7, 0xf6, 0x8c}};
inline constexpr IID webResourceRequestedHandlerIid{
    0xab00b74c, 0x15f1, 0x4646, {0x80, 0xe8, 0xe7, 0x63, 0x41, 0xd2, 0x5d, 0x71}};
inline constexpr IID webMessageReceivedHandlerIid{
    0x57213f19, 0x00e6, 0x49fa, {0x8e, 0x07, 0x89, 0x8e, 0xa0, 0x1e, 0xcb, 0xd2}};
inline constexpr IID navigationStartingHandlerIid{
    0x9adbe429, 0xf36d, 0x432b, {0x9d, 0xdc, 0xf8, 0x88, 0x1f, 0xbd, 0x76, 0xe3}};
inline constexpr IID newWindowRequestedHandlerIid{
    0xd4c185fe, 0xc81c, 0x4989, {0x97, 0xaf, 0x2d, 0x3f, 0xa7, 0xab, 0x56, 0x51}};
inline constexpr IID navigationCompletedHandlerIid{
    0xd33a35bf, 0x1c49, 0x4f98, {0x93, 0xab, 0x00, 0x6e, 0x05, 0x33, 0xfe, 0x1c}};
inline constexpr IID executeScriptCompletedHandlerIid{
    0x49511172, 0xcc67, 0x4bca, {0x99, 0x23, 0x13, 0x71, 0x12, 0xf4, 0xc4, 0xcc}};
inline constexpr IID unknownIid{0x00000000, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID sequentialStreamIid{
    0x0c733a30, 0x2a1c, 0x11ce, {0xad, 0xe5, 0x00, 0xaa, 0x00, 0x44, 0x77, 0x3d}};

// The slot of a method in an interface's vtable, IUnknown's three counted; the build stops on a name the
// interface does not have.
consteval std::size_t slotOf(const InterfaceInfo& info, std::string_view method) {
    for (std::size_t i = 0; i < info.methods.size(); ++i)
        if (method == info.methods[i])
            return i + 3;
    throw "no such method";
}

} // namespace standin
