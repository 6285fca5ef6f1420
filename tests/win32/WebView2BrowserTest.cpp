#include "webhost/win32/WebView2Browser.h"
#include "webhost/VirtualOrigin.h"
#include "webhost/WebViewHost.h"
#include "webhost/win32/ComCallbacks.h"

#include <gtest/gtest.h>

#include <objbase.h>
#include <shlwapi.h>

#include <cstring>
#include <string>
#include <vector>

namespace kes::webview2 {
namespace {

// Runtime objects played by the test: each is its vtable pointer, a reference count and what it was asked.
// The vtables are filled only in the slots the binding may call; a call into any other slot would crash the
// test, which is the point.

std::vector<std::string>& calls() {
    static std::vector<std::string> list;
    return list;
}

std::string narrow(LPCWSTR text) {
    std::string result;
    for (; text != nullptr && *text != 0; ++text)
        result += static_cast<char>(*text);
    return result;
}

LPWSTR runtimeString(const wchar_t* text) {
    const std::size_t bytes = (std::wcslen(text) + 1) * sizeof(wchar_t);
    auto* copy = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
    std::memcpy(copy, text, bytes);
    return copy;
}

template <typename Vtbl> struct FakeObject {
    const Vtbl* lpVtbl;
    ULONG references = 1;
    static HRESULT STDMETHODCALLTYPE queryInterface(void*, REFIID, void** object) {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    static ULONG STDMETHODCALLTYPE addRef(void* self) { return ++static_cast<FakeObject*>(self)->references; }
    static ULONG STDMETHODCALLTYPE release(void* self) {
        return --static_cast<FakeObject*>(self)->references;
    }
    static constexpr UnknownSlots unknown{&queryInterface, &addRef, &release};
};

// A registered handler as the runtime keeps it: one reference of the runtime's own.
struct HeldHandler {
    void* object = nullptr;
    const UnknownSlots& unknown() const { return **static_cast<const UnknownSlots* const*>(object); }
};

struct FakeWebView : FakeObject<ICoreWebView2Vtbl> {
    static inline std::vector<HeldHandler> handlers;
    static HRESULT STDMETHODCALLTYPE hold(ICoreWebView2*, void* handler, EventRegistrationToken* token) {
        HeldHandler held{handler};
        held.unknown().AddRef(handler);
        handlers.push_back(held);
        token->value = static_cast<INT64>(handlers.size());
        calls().push_back("add handler");
        return S_OK;
    }
    static ICoreWebView2Vtbl makeTable() {
        ICoreWebView2Vtbl table{};
        table.unknown = unknown;
        table.Navigate = [](ICoreWebView2*, LPCWSTR uri) -> HRESULT {
            calls().push_back("Navigate " + narrow(uri));
            return S_OK;
        };
        table.ExecuteScript = [](ICoreWebView2*, LPCWSTR script, void* handler) -> HRESULT {
            calls().push_back("ExecuteScript " + narrow(script) +
                              (handler == nullptr ? " without handler" : ""));
            return S_OK;
        };
        table.PostWebMessageAsJson = [](ICoreWebView2*, LPCWSTR json) -> HRESULT {
            calls().push_back("PostWebMessageAsJson " + narrow(json));
            return S_OK;
        };
        table.AddWebResourceRequestedFilter = [](ICoreWebView2*, LPCWSTR uri,
                                                 WebResourceContext context) -> HRESULT {
            calls().push_back("AddWebResourceRequestedFilter " + narrow(uri) + " " + std::to_string(context));
            return S_OK;
        };
        table.add_NavigationStarting = &hold;
        table.add_NavigationCompleted = &hold;
        table.add_WebMessageReceived = &hold;
        table.add_NewWindowRequested = &hold;
        table.add_WebResourceRequested = &hold;
        table.get_Settings = [](ICoreWebView2*, ICoreWebView2Settings** settings) -> HRESULT {
            *settings = nullptr;
            return E_NOINTERFACE;
        };
        return table;
    }
    static inline const ICoreWebView2Vtbl table = makeTable();
    FakeWebView() { lpVtbl = &table; }
    ~FakeWebView() {
        for (const HeldHandler& held : handlers)
            held.unknown().Release(held.object);
        handlers.clear();
    }
};

struct FakeNavigationStartingArgs : FakeObject<ICoreWebView2NavigationStartingEventArgsVtbl> {
    static inline const wchar_t* uri = L"";
    static ICoreWebView2NavigationStartingEventArgsVtbl makeTable() {
        ICoreWebView2NavigationStartingEventArgsVtbl table{};
        table.unknown = unknown;
        table.get_Uri = [](ICoreWebView2NavigationStartingEventArgs*, LPWSTR* text) -> HRESULT {
            *text = uri == nullptr ? nullptr : runtimeString(uri);
            return S_OK;
        };
        table.put_Cancel = [](ICoreWebView2NavigationStartingEventArgs*, BOOL cancel) -> HRESULT {
            calls().push_back(cancel == TRUE ? "put_Cancel TRUE" : "put_Cancel other");
            return S_OK;
        };
        return table;
    }
    static inline const ICoreWebView2NavigationStartingEventArgsVtbl table = makeTable();
    FakeNavigationStartingArgs() { lpVtbl = &table; }
};

struct FakeWebMessageArgs : FakeObject<ICoreWebView2WebMessageReceivedEventArgsVtbl> {
    static inline bool isString = true;
    static ICoreWebView2WebMessageReceivedEventArgsVtbl makeTable() {
        ICoreWebView2WebMessageReceivedEventArgsVtbl table{};
        table.unknown = unknown;
        table.TryGetWebMessageAsString = [](ICoreWebView2WebMessageReceivedEventArgs*,
                                            LPWSTR* text) -> HRESULT {
            if (!isString) {
                *text = nullptr;
                return E_INVALIDARG;
            }
            *text = runtimeString(L"drag");
            return S_OK;
        };
        return table;
    }
    static inline const ICoreWebView2WebMessageReceivedEventArgsVtbl table = makeTable();
    FakeWebMessageArgs() { lpVtbl = &table; }
};

template <typename Args> HRESULT invokeHeld(std::size_t index, Args* args) {
    auto* vtbl = *static_cast<const EventHandlerVtbl<Args>* const*>(FakeWebView::handlers.at(index).object);
    return vtbl->Invoke(FakeWebView::handlers.at(index).object, nullptr, args);
}

class WebView2BrowserTest : public ::testing::Test {
protected:
    void SetUp() override { calls().clear(); }
};

TEST_F(WebView2BrowserTest, TheWebViewWrapperCallsTheRuntimesMethodsAndHoldsOneReference) {
    FakeWebView runtime;
    {
        const auto view = wrapWebView(reinterpret_cast<ICoreWebView2*>(&runtime));
        EXPECT_EQ(runtime.references, 2u);
        view->addWebResourceRequestedFilter(requestFilter);
        view->navigate(startAddress);
        view->executeScript(L"1+1");
        view->postWebMessageAsJson(L"{\"type\":\"x\"}");
        EXPECT_EQ(view->settings(), nullptr);
    }
    EXPECT_EQ(runtime.references, 1u);
    EXPECT_EQ(calls(), (std::vector<std::string>{
                           "AddWebResourceRequestedFilter https://kestrava.invalid/* 0",
                           "Navigate https://kestrava.invalid/?desktop=1",
                           "ExecuteScript 1+1 without handler",
                           "PostWebMessageAsJson {\"type\":\"x\"}",
                       }));
}

TEST_F(WebView2BrowserTest, RegisteredHandlersAreCountedComObjectsThatForwardToTheHost) {
    FakeWebView runtime;
    const auto view = wrapWebView(reinterpret_cast<ICoreWebView2*>(&runtime));
    view->addNavigationStarting(
        [](BrowserNavigationStarting& navigation) { return onNavigationStarting(navigation); });
    ASSERT_EQ(FakeWebView::handlers.size(), 1u);
    void* handler = FakeWebView::handlers[0].object;
    const UnknownSlots& unknown = FakeWebView::handlers[0].unknown();

    // Only the runtime's reference is left.
    EXPECT_EQ(unknown.AddRef(handler), 2u);
    EXPECT_EQ(unknown.Release(handler), 1u);
    void* asked = nullptr;
    EXPECT_EQ(unknown.QueryInterface(handler, iidNavigationStartingHandler, &asked), S_OK);
    EXPECT_EQ(asked, handler);
    unknown.Release(handler);
    EXPECT_EQ(unknown.QueryInterface(handler, iidUnknown, &asked), S_OK);
    unknown.Release(handler);
    EXPECT_EQ(unknown.QueryInterface(handler, iidNavigationCompletedHandler, &asked), E_NOINTERFACE);
    EXPECT_EQ(asked, nullptr);
    EXPECT_EQ(unknown.QueryInterface(handler, iidUnknown, nullptr), E_POINTER);

    FakeNavigationStartingArgs args;
    const struct {
        const wchar_t* uri;
        std::vector<std::string> expected;
    } cases[] = {{L"https://kestrava.invalid/", {}},
                 {L"https://elsewhere.example/", {"put_Cancel TRUE"}},
                 {L"https://kestrava.invalid", {"put_Cancel TRUE"}}};
    for (const auto& navigation : cases) {
        FakeNavigationStartingArgs::uri = navigation.uri;
        calls().clear();
        EXPECT_EQ(invokeHeld(0, reinterpret_cast<ICoreWebView2NavigationStartingEventArgs*>(&args)), S_OK);
        EXPECT_EQ(calls(), navigation.expected) << narrow(navigation.uri);
    }
    FakeNavigationStartingArgs::uri = nullptr; // a null string counts as empty, and empty is refused
    calls().clear();
    invokeHeld(0, reinterpret_cast<ICoreWebView2NavigationStartingEventArgs*>(&args));
    EXPECT_EQ(calls(), std::vector<std::string>{"put_Cancel TRUE"});
    EXPECT_EQ(args.references, 1u);
}

TEST_F(WebView2BrowserTest, AMessageThatIsNotAStringReachesTheHostAsNothing) {
    FakeWebView runtime;
    const auto view = wrapWebView(reinterpret_cast<ICoreWebView2*>(&runtime));
    std::vector<std::optional<std::wstring>> seen;
    view->addWebMessageReceived([&](BrowserWebMessage& message) {
        seen.push_back(message.tryGetWebMessageAsString());
        return browserOk;
    });
    FakeWebMessageArgs args;
    FakeWebMessageArgs::isString = true;
    invokeHeld(0, reinterpret_cast<ICoreWebView2WebMessageReceivedEventArgs*>(&args));
    FakeWebMessageArgs::isString = false;
    invokeHeld(0, reinterpret_cast<ICoreWebView2WebMessageReceivedEventArgs*>(&args));
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], std::optional<std::wstring>(L"drag"));
    EXPECT_EQ(seen[1], std::nullopt);
}

TEST_F(WebView2BrowserTest, AnExceptionInAHandlerDoesNotCrossIntoTheRuntime) {
    FakeWebView runtime;
    const auto view = wrapWebView(reinterpret_cast<ICoreWebView2*>(&runtime));
    view->addWebMessageReceived(
        [](BrowserWebMessage&) -> BrowserResult { throw std::runtime_error("boom"); });
    FakeWebMessageArgs args;
    EXPECT_EQ(invokeHeld(0, reinterpret_cast<ICoreWebView2WebMessageReceivedEventArgs*>(&args)),
              E_UNEXPECTED);
}

TEST_F(WebView2BrowserTest, ACallbackObjectIsDeletedWithItsLastReference) {
    auto alive = std::make_shared<int>(0);
    std::weak_ptr<int> watch = alive;
    {
        auto callback = EnvironmentCompletedCallback::create(
            iidEnvironmentCompletedHandler,
            [alive = std::move(alive)](HRESULT, ICoreWebView2Environment*) { return S_OK; });
        EXPECT_EQ(callback->references(), 1u);
    }
    EXPECT_TRUE(watch.expired());
}

// The entry point as the client library would run it: checks its arguments and completes at once.
struct EntryPointCall {
    bool checkRunningInstance = false;
    int runtimeKind = -1;
    std::wstring folder;
    bool options = true;
    HRESULT completeWith = S_OK;
    ICoreWebView2Environment* environment = nullptr;
};
EntryPointCall entryPointCall;

HRESULT STDMETHODCALLTYPE testEntryPoint(bool checkRunningInstance, int runtimeKind, LPCWSTR folder,
                                         IUnknown* options, void* handler) {
    entryPointCall.checkRunningInstance = checkRunningInstance;
    entryPointCall.runtimeKind = runtimeKind;
    entryPointCall.folder = folder == nullptr ? L"<null>" : folder;
    entryPointCall.options = options != nullptr;
    auto* vtbl =
        *static_cast<const ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandlerVtbl* const*>(handler);
    vtbl->unknown.AddRef(handler);
    vtbl->Invoke(handler, entryPointCall.completeWith, entryPointCall.environment);
    vtbl->unknown.Release(handler);
    return S_OK;
}

struct FakeEnvironment : FakeObject<ICoreWebView2EnvironmentVtbl> {
    static inline const ICoreWebView2EnvironmentVtbl table = [] {
        ICoreWebView2EnvironmentVtbl vtbl{};
        vtbl.unknown = unknown;
        return vtbl;
    }();
    FakeEnvironment() { lpVtbl = &table; }
};

TEST_F(WebView2BrowserTest, TheEntryPointGetsTheFolderAndHandsTheEnvironmentToTheHost) {
    FakeEnvironment runtime;
    entryPointCall = {};
    entryPointCall.environment = reinterpret_cast<ICoreWebView2Environment*>(&runtime);
    std::shared_ptr<BrowserEnvironment> received;
    BrowserResult receivedResult = browserFailure;
    const auto folder = std::filesystem::path(L"C:\\数据\\WebView2");
    EXPECT_EQ(
        createEnvironmentThrough(&testEntryPoint, folder,
                                 [&](BrowserResult result, std::shared_ptr<BrowserEnvironment> environment) {
                                     receivedResult = result;
                                     received = std::move(environment);
                                     return browserOk;
                                 }),
        S_OK);
    EXPECT_TRUE(entryPointCall.checkRunningInstance);
    EXPECT_EQ(entryPointCall.runtimeKind, 0);
    EXPECT_EQ(entryPointCall.folder, L"C:\\数据\\WebView2");
    EXPECT_FALSE(entryPointCall.options);
    EXPECT_EQ(receivedResult, browserOk);
    ASSERT_TRUE(received);
    EXPECT_EQ(runtime.references, 2u);
    received.reset();
    EXPECT_EQ(runtime.references, 1u);
}

TEST_F(WebView2BrowserTest, AFailedCreationReachesTheHostWithoutAnEnvironment) {
    entryPointCall = {};
    entryPointCall.completeWith = E_ACCESSDENIED;
    bool called = false;
    createEnvironmentThrough(&testEntryPoint, "data",
                             [&](BrowserResult result, std::shared_ptr<BrowserEnvironment> environment) {
                                 called = true;
                                 EXPECT_EQ(result, E_ACCESSDENIED);
                                 EXPECT_FALSE(environment);
                                 return browserOk;
                             });
    EXPECT_TRUE(called);
}

TEST_F(WebView2BrowserTest, TheLoaderRefusesCleanlyWithoutARuntime) {
    bool called = false;
    WebView2Loader loader;
    const BrowserResult result =
        loader.createEnvironment("data", [&](BrowserResult, std::shared_ptr<BrowserEnvironment>) {
            called = true;
            return browserOk;
        });
    if (result == static_cast<BrowserResult>(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)))
        EXPECT_FALSE(called);
    else
        GTEST_SKIP() << "a WebView2 runtime is installed here";
}

} // namespace
} // namespace kes::webview2
