#pragma once
#include <windows.h>

#include <objidl.h>

#include <cstddef>

// The WebView2 COM interfaces the host uses, declared here instead of taken from the SDK so that nothing is
// downloaded at build time. Each interface is its vtable as a C structure: every slot is listed in the
// runtime's order so the positions are right, but only the slots the host calls carry a function type; the
// others are plain pointers named after their methods. Interface identifiers and method order follow
// Microsoft's published WebView2 interface definitions; the slot of every method called is pinned by the
// static assertions at the end of this file and by a test.

namespace kes::webview2 {

// The members of IUnknown, the first three slots of every interface.
struct UnknownSlots {
    HRESULT(STDMETHODCALLTYPE* QueryInterface)(void* self, REFIID iid, void** object);
    ULONG(STDMETHODCALLTYPE* AddRef)(void* self);
    ULONG(STDMETHODCALLTYPE* Release)(void* self);
};

using UnusedSlot = void*;

struct EventRegistrationToken {
    INT64 value;
};

enum WebResourceContext : int { WebResourceContextAll = 0 };

struct ICoreWebView2Environment;
struct ICoreWebView2Controller;
struct ICoreWebView2;
struct ICoreWebView2Settings;
struct ICoreWebView2WebResourceRequestedEventArgs;
struct ICoreWebView2WebResourceRequest;
struct ICoreWebView2WebResourceResponse;
struct ICoreWebView2WebMessageReceivedEventArgs;
struct ICoreWebView2NavigationStartingEventArgs;
struct ICoreWebView2NewWindowRequestedEventArgs;
struct ICoreWebView2NavigationCompletedEventArgs;

// --- Completion and event handlers: implemented by the host, one Invoke each. ---

struct ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandlerVtbl {
    UnknownSlots unknown;
    HRESULT(STDMETHODCALLTYPE* Invoke)(void* self, HRESULT errorCode, ICoreWebView2Environment* environment);
};

struct ICoreWebView2CreateCoreWebView2ControllerCompletedHandlerVtbl {
    UnknownSlots unknown;
    HRESULT(STDMETHODCALLTYPE* Invoke)(void* self, HRESULT errorCode, ICoreWebView2Controller* controller);
};

// The five event handlers share one shape: Invoke(sender, args).
template <typename Args> struct EventHandlerVtbl {
    UnknownSlots unknown;
    HRESULT(STDMETHODCALLTYPE* Invoke)(void* self, ICoreWebView2* sender, Args* args);
};

// --- Runtime objects: called by the host. ---

struct ICoreWebView2EnvironmentVtbl {
    UnknownSlots unknown;
    HRESULT(STDMETHODCALLTYPE* CreateCoreWebView2Controller)
    (ICoreWebView2Environment* self, HWND parentWindow, void* handler);
    HRESULT(STDMETHODCALLTYPE* CreateWebResourceResponse)
    (ICoreWebView2Environment* self, IStream* content, int statusCode, LPCWSTR reasonPhrase, LPCWSTR headers,
     ICoreWebView2WebResourceResponse** response);
    UnusedSlot get_BrowserVersionString;
    UnusedSlot add_NewBrowserVersionAvailable;
    UnusedSlot remove_NewBrowserVersionAvailable;
};
struct ICoreWebView2Environment {
    const ICoreWebView2EnvironmentVtbl* lpVtbl;
};

struct ICoreWebView2ControllerVtbl {
    UnknownSlots unknown;
    UnusedSlot get_IsVisible;
    UnusedSlot put_IsVisible;
    UnusedSlot get_Bounds;
    HRESULT(STDMETHODCALLTYPE* put_Bounds)(ICoreWebView2Controller* self, RECT bounds);
    UnusedSlot get_ZoomFactor;
    UnusedSlot put_ZoomFactor;
    UnusedSlot add_ZoomFactorChanged;
    UnusedSlot remove_ZoomFactorChanged;
    UnusedSlot SetBoundsAndZoomFactor;
    UnusedSlot MoveFocus;
    UnusedSlot add_MoveFocusRequested;
    UnusedSlot remove_MoveFocusRequested;
    UnusedSlot add_GotFocus;
    UnusedSlot remove_GotFocus;
    UnusedSlot add_LostFocus;
    UnusedSlot remove_LostFocus;
    UnusedSlot add_AcceleratorKeyPressed;
    UnusedSlot remove_AcceleratorKeyPressed;
    UnusedSlot get_ParentWindow;
    UnusedSlot put_ParentWindow;
    UnusedSlot NotifyParentWindowPositionChanged;
    HRESULT(STDMETHODCALLTYPE* Close)(ICoreWebView2Controller* self);
    HRESULT(STDMETHODCALLTYPE* get_CoreWebView2)(ICoreWebView2Controller* self, ICoreWebView2** webView);
};
struct ICoreWebView2Controller {
    const ICoreWebView2ControllerVtbl* lpVtbl;
};

struct ICoreWebView2Vtbl {
    UnknownSlots unknown;
    HRESULT(STDMETHODCALLTYPE* get_Settings)(ICoreWebView2* self, ICoreWebView2Settings** settings);
    UnusedSlot get_Source;
    HRESULT(STDMETHODCALLTYPE* Navigate)(ICoreWebView2* self, LPCWSTR uri);
    UnusedSlot NavigateToString;
    HRESULT(STDMETHODCALLTYPE* add_NavigationStarting)
    (ICoreWebView2* self, void* handler, EventRegistrationToken* token);
    UnusedSlot remove_NavigationStarting;
    UnusedSlot add_ContentLoading;
    UnusedSlot remove_ContentLoading;
    UnusedSlot add_SourceChanged;
    UnusedSlot remove_SourceChanged;
    UnusedSlot add_HistoryChanged;
    UnusedSlot remove_HistoryChanged;
    HRESULT(STDMETHODCALLTYPE* add_NavigationCompleted)
    (ICoreWebView2* self, void* handler, EventRegistrationToken* token);
    UnusedSlot remove_NavigationCompleted;
    UnusedSlot add_FrameNavigationStarting;
    UnusedSlot remove_FrameNavigationStarting;
    UnusedSlot add_FrameNavigationCompleted;
    UnusedSlot remove_FrameNavigationCompleted;
    UnusedSlot add_ScriptDialogOpening;
    UnusedSlot remove_ScriptDialogOpening;
    UnusedSlot add_PermissionRequested;
    UnusedSlot remove_PermissionRequested;
    UnusedSlot add_ProcessFailed;
    UnusedSlot remove_ProcessFailed;
    UnusedSlot AddScriptToExecuteOnDocumentCreated;
    UnusedSlot RemoveScriptToExecuteOnDocumentCreated;
    HRESULT(STDMETHODCALLTYPE* ExecuteScript)(ICoreWebView2* self, LPCWSTR javaScript, void* handler);
    UnusedSlot CapturePreview;
    UnusedSlot Reload;
    HRESULT(STDMETHODCALLTYPE* PostWebMessageAsJson)(ICoreWebView2* self, LPCWSTR webMessageAsJson);
    UnusedSlot PostWebMessageAsString;
    HRESULT(STDMETHODCALLTYPE* add_WebMessageReceived)
    (ICoreWebView2* self, void* handler, EventRegistrationToken* token);
    UnusedSlot remove_WebMessageReceived;
    UnusedSlot CallDevToolsProtocolMethod;
    UnusedSlot get_BrowserProcessId;
    UnusedSlot get_CanGoBack;
    UnusedSlot get_CanGoForward;
    UnusedSlot GoBack;
    UnusedSlot GoForward;
    UnusedSlot GetDevToolsProtocolEventReceiver;
    UnusedSlot Stop;
    HRESULT(STDMETHODCALLTYPE* add_NewWindowRequested)
    (ICoreWebView2* self, void* handler, EventRegistrationToken* token);
    UnusedSlot remove_NewWindowRequested;
    UnusedSlot add_DocumentTitleChanged;
    UnusedSlot remove_DocumentTitleChanged;
    UnusedSlot get_DocumentTitle;
    UnusedSlot AddHostObjectToScript;
    UnusedSlot RemoveHostObjectFromScript;
    UnusedSlot OpenDevToolsWindow;
    UnusedSlot add_ContainsFullScreenElementChanged;
    UnusedSlot remove_ContainsFullScreenElementChanged;
    UnusedSlot get_ContainsFullScreenElement;
    HRESULT(STDMETHODCALLTYPE* add_WebResourceRequested)
    (ICoreWebView2* self, void* handler, EventRegistrationToken* token);
    UnusedSlot remove_WebResourceRequested;
    HRESULT(STDMETHODCALLTYPE* AddWebResourceRequestedFilter)
    (ICoreWebView2* self, LPCWSTR uri, WebResourceContext resourceContext);
    UnusedSlot RemoveWebResourceRequestedFilter;
    UnusedSlot add_WindowCloseRequested;
    UnusedSlot remove_WindowCloseRequested;
};
struct ICoreWebView2 {
    const ICoreWebView2Vtbl* lpVtbl;
};

struct ICoreWebView2SettingsVtbl {
    UnknownSlots unknown;
    UnusedSlot get_IsScriptEnabled;
    UnusedSlot put_IsScriptEnabled;
    UnusedSlot get_IsWebMessageEnabled;
    UnusedSlot put_IsWebMessageEnabled;
    UnusedSlot get_AreDefaultScriptDialogsEnabled;
    UnusedSlot put_AreDefaultScriptDialogsEnabled;
    UnusedSlot get_IsStatusBarEnabled;
    UnusedSlot put_IsStatusBarEnabled;
    UnusedSlot get_AreDevToolsEnabled;
    HRESULT(STDMETHODCALLTYPE* put_AreDevToolsEnabled)(ICoreWebView2Settings* self, BOOL enabled);
    UnusedSlot get_AreDefaultContextMenusEnabled;
    HRESULT(STDMETHODCALLTYPE* put_AreDefaultContextMenusEnabled)(ICoreWebView2Settings* self, BOOL enabled);
    UnusedSlot get_AreHostObjectsAllowed;
    UnusedSlot put_AreHostObjectsAllowed;
    UnusedSlot get_IsZoomControlEnabled;
    UnusedSlot put_IsZoomControlEnabled;
    UnusedSlot get_IsBuiltInErrorPageEnabled;
    UnusedSlot put_IsBuiltInErrorPageEnabled;
};
struct ICoreWebView2Settings {
    const ICoreWebView2SettingsVtbl* lpVtbl;
};

struct ICoreWebView2WebResourceRequestedEventArgsVtbl {
    UnknownSlots unknown;
    HRESULT(STDMETHODCALLTYPE* get_Request)
    (ICoreWebView2WebResourceRequestedEventArgs* self, ICoreWebView2WebResourceRequest** request);
    UnusedSlot get_Response;
    HRESULT(STDMETHODCALLTYPE* put_Response)
    (ICoreWebView2WebResourceRequestedEventArgs* self, ICoreWebView2WebResourceResponse* response);
    UnusedSlot GetDeferral;
    UnusedSlot get_ResourceContext;
};
struct ICoreWebView2WebResourceRequestedEventArgs {
    const ICoreWebView2WebResourceRequestedEventArgsVtbl* lpVtbl;
};

struct ICoreWebView2WebResourceRequestVtbl {
    UnknownSlots unknown;
    HRESULT(STDMETHODCALLTYPE* get_Uri)(ICoreWebView2WebResourceRequest* self, LPWSTR* uri);
    UnusedSlot put_Uri;
    HRESULT(STDMETHODCALLTYPE* get_Method)(ICoreWebView2WebResourceRequest* self, LPWSTR* method);
    UnusedSlot put_Method;
    HRESULT(STDMETHODCALLTYPE* get_Content)(ICoreWebView2WebResourceRequest* self, IStream** content);
    UnusedSlot put_Content;
    UnusedSlot get_Headers;
};
struct ICoreWebView2WebResourceRequest {
    const ICoreWebView2WebResourceRequestVtbl* lpVtbl;
};

// The host only creates responses and hands them back; it calls none of their own methods.
struct ICoreWebView2WebResourceResponseVtbl {
    UnknownSlots unknown;
};
struct ICoreWebView2WebResourceResponse {
    const ICoreWebView2WebResourceResponseVtbl* lpVtbl;
};

struct ICoreWebView2WebMessageReceivedEventArgsVtbl {
    UnknownSlots unknown;
    UnusedSlot get_Source;
    UnusedSlot get_WebMessageAsJson;
    HRESULT(STDMETHODCALLTYPE* TryGetWebMessageAsString)
    (ICoreWebView2WebMessageReceivedEventArgs* self, LPWSTR* message);
};
struct ICoreWebView2WebMessageReceivedEventArgs {
    const ICoreWebView2WebMessageReceivedEventArgsVtbl* lpVtbl;
};

struct ICoreWebView2NavigationStartingEventArgsVtbl {
    UnknownSlots unknown;
    HRESULT(STDMETHODCALLTYPE* get_Uri)(ICoreWebView2NavigationStartingEventArgs* self, LPWSTR* uri);
    UnusedSlot get_IsUserInitiated;
    UnusedSlot get_IsRedirected;
    UnusedSlot get_RequestHeaders;
    UnusedSlot get_Cancel;
    HRESULT(STDMETHODCALLTYPE* put_Cancel)(ICoreWebView2NavigationStartingEventArgs* self, BOOL cancel);
    UnusedSlot get_NavigationId;
};
struct ICoreWebView2NavigationStartingEventArgs {
    const ICoreWebView2NavigationStartingEventArgsVtbl* lpVtbl;
};

struct ICoreWebView2NewWindowRequestedEventArgsVtbl {
    UnknownSlots unknown;
    UnusedSlot get_Uri;
    UnusedSlot put_NewWindow;
    UnusedSlot get_NewWindow;
    HRESULT(STDMETHODCALLTYPE* put_Handled)(ICoreWebView2NewWindowRequestedEventArgs* self, BOOL handled);
    UnusedSlot get_Handled;
    UnusedSlot get_IsUserInitiated;
    UnusedSlot GetDeferral;
    UnusedSlot get_WindowFeatures;
};
struct ICoreWebView2NewWindowRequestedEventArgs {
    const ICoreWebView2NewWindowRequestedEventArgsVtbl* lpVtbl;
};

struct ICoreWebView2NavigationCompletedEventArgsVtbl {
    UnknownSlots unknown;
    HRESULT(STDMETHODCALLTYPE* get_IsSuccess)(ICoreWebView2NavigationCompletedEventArgs* self, BOOL* success);
    UnusedSlot get_WebErrorStatus;
    UnusedSlot get_NavigationId;
};
struct ICoreWebView2NavigationCompletedEventArgs {
    const ICoreWebView2NavigationCompletedEventArgsVtbl* lpVtbl;
};

using WebResourceRequestedHandlerVtbl = EventHandlerVtbl<ICoreWebView2WebResourceRequestedEventArgs>;
using WebMessageReceivedHandlerVtbl = EventHandlerVtbl<ICoreWebView2WebMessageReceivedEventArgs>;
using NavigationStartingHandlerVtbl = EventHandlerVtbl<ICoreWebView2NavigationStartingEventArgs>;
using NewWindowRequestedHandlerVtbl = EventHandlerVtbl<ICoreWebView2NewWindowRequestedEventArgs>;
using NavigationCompletedHandlerVtbl = EventHandlerVtbl<ICoreWebView2NavigationCompletedEventArgs>;

// --- Interface identifiers. ---

inline constexpr IID iidUnknown{0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID iidEnvironmentCompletedHandler{
    0x4e8a3389, 0xc9d8, 0x4bd2, {0xb6, 0xb5, 0x12, 0x4f, 0xee, 0x6c, 0xc1, 0x4d}};
inline constexpr IID iidControllerCompletedHandler{
    0x6c4819f3, 0xc9b7, 0x4260, {0x81, 0x27, 0xc9, 0xf5, 0xbd, 0xe7, 0xf6, 0x8c}};
inline constexpr IID iidWebResourceRequestedHandler{
    0xab00b74c, 0x15f1, 0x4646, {0x80, 0xe8, 0xe7, 0x63, 0x41, 0xd2, 0x5d, 0x71}};
inline constexpr IID iidWebMessageReceivedHandler{
    0x57213f19, 0x00e6, 0x49fa, {0x8e, 0x07, 0x89, 0x8e, 0xa0, 0x1e, 0xcb, 0xd2}};
inline constexpr IID iidNavigationStartingHandler{
    0x9adbe429, 0xf36d, 0x432b, {0x9d, 0xdc, 0xf8, 0x88, 0x1f, 0xbd, 0x76, 0xe3}};
inline constexpr IID iidNewWindowRequestedHandler{
    0xd4c185fe, 0xc81c, 0x4989, {0x97, 0xaf, 0x2d, 0x3f, 0xa7, 0xab, 0x56, 0x51}};
inline constexpr IID iidNavigationCompletedHandler{
    0xd33a35bf, 0x1c49, 0x4f98, {0x93, 0xab, 0x00, 0x6e, 0x05, 0x33, 0xfe, 0x1c}};
// The runtime objects' identifiers: the host never asks for them (every object arrives typed), they are
// kept for the record and checked by the test with the others.
inline constexpr IID iidEnvironment{
    0xb96d755e, 0x0319, 0x4e92, {0xa2, 0x96, 0x23, 0x43, 0x6f, 0x46, 0xa1, 0xfc}};
inline constexpr IID iidController{
    0x4d00c0d1, 0x9434, 0x4eb6, {0x80, 0x78, 0x86, 0x97, 0xa5, 0x60, 0x33, 0x4f}};
inline constexpr IID iidWebView{0x76eceacb, 0x0462, 0x4d94, {0xac, 0x83, 0x42, 0x3a, 0x67, 0x93, 0x77, 0x5e}};
inline constexpr IID iidSettings{
    0xe562e4f0, 0xd7fa, 0x43ac, {0x8d, 0x71, 0xc0, 0x51, 0x50, 0x49, 0x9f, 0x00}};
inline constexpr IID iidWebResourceRequestedEventArgs{
    0x453e667f, 0x12c7, 0x49d4, {0xbe, 0x6d, 0xdd, 0xbe, 0x79, 0x56, 0xf5, 0x7a}};
inline constexpr IID iidWebResourceRequest{
    0x97055cd4, 0x512c, 0x4264, {0x8b, 0x5f, 0xe3, 0xf4, 0x46, 0xce, 0xa6, 0xa5}};
inline constexpr IID iidWebResourceResponse{
    0xaafcc94f, 0xfa27, 0x48fd, {0x97, 0xdf, 0x83, 0x0e, 0xf7, 0x5a, 0xae, 0xc9}};
inline constexpr IID iidWebMessageReceivedEventArgs{
    0x0f99a40c, 0xe962, 0x4207, {0x9e, 0x92, 0xe3, 0xd5, 0x42, 0xef, 0xf8, 0x49}};
inline constexpr IID iidNavigationStartingEventArgs{
    0x5b495469, 0xe119, 0x438a, {0x9b, 0x18, 0x76, 0x04, 0xf2, 0x5f, 0x2e, 0x49}};
inline constexpr IID iidNewWindowRequestedEventArgs{
    0x34acb11c, 0xfc37, 0x4418, {0x91, 0x32, 0xf9, 0xc2, 0x1d, 0x1e, 0xaf, 0xb9}};
inline constexpr IID iidNavigationCompletedEventArgs{
    0x30d68b7d, 0x20d9, 0x4752, {0xa9, 0xca, 0xec, 0x84, 0x48, 0xfb, 0xb5, 0xc1}};

// The client library's environment entry point, as the SDK's own loader calls it: whether to share a
// running browser process (true), the runtime kind (0, an installed Evergreen runtime), the user-data
// folder, the options object (none) and the completion handler.
inline constexpr const char* environmentEntryPoint = "CreateWebViewEnvironmentWithOptionsInternal";
inline constexpr int installedRuntimeKind = 0;
using CreateEnvironmentEntryPoint = HRESULT(STDMETHODCALLTYPE*)(bool checkRunningInstance, int runtimeKind,
                                                                LPCWSTR userDataFolder, IUnknown* options,
                                                                void* completedHandler);

// --- Slot pins: the vtable position of every method the host calls or implements. ---

#define KES_WEBVIEW2_SLOT(vtbl, member) (offsetof(vtbl, member) / sizeof(void*))
#define KES_WEBVIEW2_UNKNOWN_SLOT(vtbl, member)                                                              \
    ((offsetof(vtbl, unknown) + offsetof(UnknownSlots, member)) / sizeof(void*))

static_assert(sizeof(UnknownSlots) == 3 * sizeof(void*));
static_assert(KES_WEBVIEW2_UNKNOWN_SLOT(ICoreWebView2Vtbl, QueryInterface) == 0);
static_assert(KES_WEBVIEW2_UNKNOWN_SLOT(ICoreWebView2Vtbl, AddRef) == 1);
static_assert(KES_WEBVIEW2_UNKNOWN_SLOT(ICoreWebView2Vtbl, Release) == 2);

static_assert(KES_WEBVIEW2_SLOT(ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandlerVtbl, Invoke) == 3);
static_assert(KES_WEBVIEW2_SLOT(ICoreWebView2CreateCoreWebView2ControllerCompletedHandlerVtbl, Invoke) == 3);
static_assert(KES_WEBVIEW2_SLOT(WebResourceRequestedHandlerVtbl, Invoke) == 3);
static_assert(KES_WEBVIEW2_SLOT(WebMessageReceivedHandlerVtbl, Invoke) == 3);
static_assert(KES_WEBVIEW2_SLOT(NavigationStartingHandlerVtbl, Invoke) == 3);
static_assert(KES_WEBVIEW2_SLOT(NewWindowRequestedHandlerVtbl, Invoke) == 3);
static_assert(KES_WEBVIEW2_SLOT(NavigationCompletedHandlerVtbl, Invoke) == 3);

static_assert(KES_WEBVIEW2_SLOT(ICoreWebView2EnvironmentVtbl, CreateCoreWebView2Controller) == 3);
static_assert(KES_WEBVIEW2_SLOT(ICoreWebView2EnvironmentVtbl, CreateWebResourceResponse) == 4);
static_assert(sizeof(ICoreWebView2EnvironmentVtbl) == 8 * sizeof(void*));

static_assert(KES_WEBVIEW2_SLOT(ICoreWebView2ControllerVtbl, put_Bounds) == 6);
static_assert(KES_WEBVIEW2_SLOT(ICoreWebView2ControllerVtbl, Close) == 24);
static_assert(KES_WEBVIEW2_SLOT(ICoreWebView2ControllerVtbl, get_CoreWebView2) == 25);
static_assert(sizeof(ICoreWebView2ControllerVtbl) == 26 * sizeof(void*));

static_assert(KES_WEBVIEW2_SLOT(ICoreWebView2Vtbl, get_Settings) == 3);
static_assert(KES_WEBVIEW2_SLOT(ICoreWebView2Vtbl, Navigate) == 5);
static_assert(KES_WEBVIEW2_SLOT(ICoreWebView2Vtbl, add_NavigationStarting) == 7);
static_assert(KES_WEBVIEW2_SLOT(ICoreWebView2Vtbl, add_NavigationCompleted) == 15);
static_assert(KES_WEBVIEW2_SLOT(ICoreWebView2Vtbl, ExecuteScript) == 29);
static_assert(KES_WEBVIEW2_SLOT(ICoreWebView2Vtbl, PostWebMessageAsJson) == 32);
static_assert(KES_WEBVIEW2_SLOT(ICoreWebView2Vtbl, add_WebMessageReceived) == 34);
static_assert(KES_WEBVIEW2_SLOT(ICoreWebView2Vtbl, add_NewWindowRequested) == 44);
static_assert(KES_WEBVIEW2_SLOT(ICoreWebView2Vtbl, add_WebResourceRequested) == 55);
static_assert(KES_WEBVIEW2_SLOT(ICoreWebView2Vtbl, AddWebResourceRequestedFilter) == 57);
static_assert(sizeof(ICoreWebView2Vtbl) == 61 * sizeof(void*));

static_assert(KES_WEBVIEW2_SLOT(ICoreWebView2SettingsVtbl, put_AreDevToolsEnabled) == 12);
static_assert(KES_WEBVIEW2_SLOT(ICoreWebView2SettingsVtbl, put_AreDefaultContextMenusEnabled) == 14);
static_assert(sizeof(ICoreWebView2SettingsVtbl) == 21 * sizeof(void*));

static_assert(KES_WEBVIEW2_SLOT(ICoreWebView2WebResourceRequestedEventArgsVtbl, get_Request) == 3);
static_assert(KES_WEBVIEW2_SLOT(ICoreWebView2WebResourceRequestedEventArgsVtbl, put_Response) == 5);
static_assert(KES_WEBVIEW2_SLOT(ICoreWebView2WebResourceRequestVtbl, get_Uri) == 3);
static_assert(KES_WEBVIEW2_SLOT(ICoreWebView2WebResourceRequestVtbl, get_Method) == 5);
static_assert(KES_WEBVIEW2_SLOT(ICoreWebView2WebResourceRequestVtbl, get_Content) == 7);
static_assert(KES_WEBVIEW2_SLOT(ICoreWebView2WebMessageReceivedEventArgsVtbl, TryGetWebMessageAsString) == 5);
static_assert(KES_WEBVIEW2_SLOT(ICoreWebView2NavigationStartingEventArgsVtbl, get_Uri) == 3);
static_assert(KES_WEBVIEW2_SLOT(ICoreWebView2NavigationStartingEventArgsVtbl, put_Cancel) == 8);
static_assert(KES_WEBVIEW2_SLOT(ICoreWebView2NewWindowRequestedEventArgsVtbl, put_Handled) == 6);
static_assert(KES_WEBVIEW2_SLOT(ICoreWebView2NavigationCompletedEventArgsVtbl, get_IsSuccess) == 3);

#undef KES_WEBVIEW2_UNKNOWN_SLOT

} // namespace kes::webview2
