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
    static inline ICoreWebView2Settings* givenSettings = nullptr; // what get_Settings gives, none when null
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
            *settings = givenSettings;
            if (givenSettings == nullptr)
                return E_NOINTERFACE;
            (*givenSettings->lpVtbl->unknown.AddRef)(givenSettings);
            return S_OK;
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

// --- The request wrapper, response creation, controller and settings, with hand-made runtime objects. ---

ULONG referencesOf(IUnknown* object) {
    object->AddRef();
    return object->Release();
}

struct FakeResponse : FakeObject<ICoreWebView2WebResourceResponseVtbl> {
    static inline const ICoreWebView2WebResourceResponseVtbl table{unknown};
    FakeResponse() { lpVtbl = &table; }
};

struct FakeRequest : FakeObject<ICoreWebView2WebResourceRequestVtbl> {
    static inline const wchar_t* uri = nullptr;
    static inline const wchar_t* method = nullptr;
    static inline IStream* content = nullptr; // given with a reference of its own; none when null
    static inline HRESULT contentResult = S_OK;
    static ICoreWebView2WebResourceRequestVtbl makeTable() {
        ICoreWebView2WebResourceRequestVtbl table{};
        table.unknown = unknown;
        table.get_Uri = [](ICoreWebView2WebResourceRequest*, LPWSTR* text) -> HRESULT {
            *text = uri == nullptr ? nullptr : runtimeString(uri);
            return S_OK;
        };
        table.get_Method = [](ICoreWebView2WebResourceRequest*, LPWSTR* text) -> HRESULT {
            *text = method == nullptr ? nullptr : runtimeString(method);
            return S_OK;
        };
        table.get_Content = [](ICoreWebView2WebResourceRequest*, IStream** stream) -> HRESULT {
            calls().push_back("get_Content");
            *stream = nullptr;
            if (FAILED(contentResult))
                return contentResult;
            if (content != nullptr) {
                content->AddRef();
                *stream = content;
            }
            return S_OK;
        };
        return table;
    }
    static inline const ICoreWebView2WebResourceRequestVtbl table = makeTable();
    FakeRequest() { lpVtbl = &table; }
};

struct FakeRequestArgs : FakeObject<ICoreWebView2WebResourceRequestedEventArgsVtbl> {
    static inline FakeRequest* request = nullptr;
    static inline void* response = nullptr; // what put_Response received
    static ICoreWebView2WebResourceRequestedEventArgsVtbl makeTable() {
        ICoreWebView2WebResourceRequestedEventArgsVtbl table{};
        table.unknown = unknown;
        table.get_Request = [](ICoreWebView2WebResourceRequestedEventArgs*,
                               ICoreWebView2WebResourceRequest** out) -> HRESULT {
            FakeRequest::addRef(request);
            *out = reinterpret_cast<ICoreWebView2WebResourceRequest*>(request);
            return S_OK;
        };
        table.put_Response = [](ICoreWebView2WebResourceRequestedEventArgs*,
                                ICoreWebView2WebResourceResponse* given) -> HRESULT {
            calls().push_back("put_Response");
            response = given;
            return S_OK;
        };
        return table;
    }
    static inline const ICoreWebView2WebResourceRequestedEventArgsVtbl table = makeTable();
    FakeRequestArgs() { lpVtbl = &table; }
};

// An environment that builds responses: it reads the body stream while it is lent and gives FakeResponse.
struct FakeResponseEnvironment : FakeObject<ICoreWebView2EnvironmentVtbl> {
    static inline FakeResponse* response = nullptr;
    static inline HRESULT result = S_OK;
    static inline IStream* lastStream = nullptr;
    static inline std::string body;
    static inline std::string description;
    static ICoreWebView2EnvironmentVtbl makeTable() {
        ICoreWebView2EnvironmentVtbl table{};
        table.unknown = unknown;
        table.CreateWebResourceResponse = [](ICoreWebView2Environment*, IStream* content, int status,
                                             LPCWSTR reason, LPCWSTR headers,
                                             ICoreWebView2WebResourceResponse** out) -> HRESULT {
            lastStream = content;
            content->AddRef(); // kept until the test looks at it
            body.clear();
            char buffer[7];
            ULONG read = 0;
            while (SUCCEEDED(content->Read(buffer, sizeof buffer, &read)) && read > 0)
                body.append(buffer, read);
            description = std::to_string(status) + " " + narrow(reason) + " | " + narrow(headers);
            *out = nullptr;
            if (FAILED(result))
                return result;
            FakeResponse::addRef(response);
            *out = reinterpret_cast<ICoreWebView2WebResourceResponse*>(response);
            return S_OK;
        };
        return table;
    }
    static inline const ICoreWebView2EnvironmentVtbl table = makeTable();
    FakeResponseEnvironment() { lpVtbl = &table; }
};

class RequestWrapperTest : public WebView2BrowserTest {
protected:
    void SetUp() override {
        WebView2BrowserTest::SetUp();
        FakeRequestArgs::request = &request;
        FakeRequestArgs::response = nullptr;
        FakeRequest::uri = L"https://kestrava.invalid/api/state";
        FakeRequest::method = L"POST";
        FakeRequest::contentResult = S_OK;
        const std::string body = "{\"profiles\":[1]}";
        FakeRequest::content =
            SHCreateMemStream(reinterpret_cast<const BYTE*>(body.data()), static_cast<UINT>(body.size()));
        FakeResponseEnvironment::response = &response;
        FakeResponseEnvironment::result = S_OK;
    }
    void TearDown() override {
        if (FakeRequest::content != nullptr)
            FakeRequest::content->Release();
        FakeRequest::content = nullptr;
        if (FakeResponseEnvironment::lastStream != nullptr)
            FakeResponseEnvironment::lastStream->Release();
        FakeResponseEnvironment::lastStream = nullptr;
    }

    // Runs one request through a registered handler, as the runtime would.
    HRESULT runRequest(const WebResourceRequestedHandler& handler) {
        FakeWebView runtime;
        const auto view = wrapWebView(reinterpret_cast<ICoreWebView2*>(&runtime));
        view->addWebResourceRequested(handler);
        FakeRequestArgs args;
        const HRESULT result =
            invokeHeld(0, reinterpret_cast<ICoreWebView2WebResourceRequestedEventArgs*>(&args));
        EXPECT_EQ(args.references, 1u);
        return result;
    }

    FakeRequest request;
    FakeResponse response;
    FakeResponseEnvironment environmentObject;
};

std::string readAllContent(BrowserWebResourceRequest& request) {
    std::string body;
    char buffer[5];
    while (const std::size_t count = request.readContent(buffer, sizeof buffer))
        body.append(buffer, count);
    return body;
}

TEST_F(RequestWrapperTest, ReadsTheRequestSetsTheResponseAndReleasesEverything) {
    const auto environment = wrapEnvironment(reinterpret_cast<ICoreWebView2Environment*>(&environmentObject));
    std::wstring uri;
    std::wstring method;
    std::string body;
    const HRESULT result = runRequest([&](BrowserWebResourceRequest& wrapped) {
        uri = wrapped.uri();
        method = wrapped.method();
        body = readAllContent(wrapped);
        EXPECT_EQ(wrapped.readContent(nullptr, 0), 0u);
        const auto answer =
            environment->createWebResourceResponse("答复", 200, L"OK", L"Content-Type: x\r\n");
        EXPECT_TRUE(answer);
        EXPECT_EQ(response.references, 2u); // the wrapper's own
        return wrapped.setResponse(answer);
    });
    EXPECT_EQ(result, S_OK);
    EXPECT_EQ(uri, L"https://kestrava.invalid/api/state");
    EXPECT_EQ(method, L"POST");
    EXPECT_EQ(body, "{\"profiles\":[1]}");
    EXPECT_EQ(calls(), (std::vector<std::string>{"add handler", "get_Content", "put_Response"}));
    EXPECT_EQ(FakeRequestArgs::response, static_cast<void*>(&response));
    // The request, its content stream and the response are each back to the one reference of their maker.
    EXPECT_EQ(request.references, 1u);
    EXPECT_EQ(referencesOf(FakeRequest::content), 1u);
    EXPECT_EQ(response.references, 1u);
    // The response's body went to the runtime as a stream it can read whole, then the wrapper let it go.
    EXPECT_EQ(FakeResponseEnvironment::body, "答复");
    EXPECT_EQ(FakeResponseEnvironment::description, "200 OK | Content-Type: x\r\n");
    EXPECT_EQ(referencesOf(FakeResponseEnvironment::lastStream), 1u);
}

TEST_F(RequestWrapperTest, MissingTextsAndContentReadAsEmpty) {
    FakeRequest::uri = nullptr;
    FakeRequest::method = nullptr;
    for (const HRESULT contentResult : {S_OK, E_FAIL}) {
        FakeRequest::contentResult = contentResult;
        if (FakeRequest::content != nullptr)
            FakeRequest::content->Release();
        FakeRequest::content = nullptr;
        calls().clear();
        runRequest([](BrowserWebResourceRequest& wrapped) {
            EXPECT_EQ(wrapped.uri(), L"");
            EXPECT_EQ(wrapped.method(), L"");
            char buffer[8];
            EXPECT_EQ(wrapped.readContent(buffer, sizeof buffer), 0u);
            EXPECT_EQ(wrapped.readContent(buffer, sizeof buffer), 0u);
            return browserOk;
        });
        // The content is asked for once, however often the host reads.
        EXPECT_EQ(calls(), (std::vector<std::string>{"add handler", "get_Content"}));
        EXPECT_EQ(request.references, 1u);
    }
}

TEST_F(RequestWrapperTest, OnlyAResponseOfThisBindingCanBeSet) {
    struct Foreign : BrowserWebResourceResponse {};
    const HRESULT result = runRequest(
        [](BrowserWebResourceRequest& wrapped) { return wrapped.setResponse(std::make_shared<Foreign>()); });
    EXPECT_EQ(result, E_INVALIDARG);
    EXPECT_EQ(FakeRequestArgs::response, nullptr);
}

TEST_F(RequestWrapperTest, AFailedResponseCreationGivesNothingAndReleasesTheStream) {
    FakeResponseEnvironment::result = E_OUTOFMEMORY;
    {
        const auto environment =
            wrapEnvironment(reinterpret_cast<ICoreWebView2Environment*>(&environmentObject));
        EXPECT_EQ(environmentObject.references, 2u);
        EXPECT_EQ(environment->createWebResourceResponse("", 404, L"Error", L""), nullptr);
    }
    EXPECT_EQ(environmentObject.references, 1u);
    EXPECT_EQ(FakeResponseEnvironment::description, "404 Error | ");
    EXPECT_EQ(referencesOf(FakeResponseEnvironment::lastStream), 1u);
    EXPECT_EQ(response.references, 1u);
}

struct FakeController : FakeObject<ICoreWebView2ControllerVtbl> {
    static inline FakeWebView* webView = nullptr; // what get_CoreWebView2 gives, a failure when null
    static ICoreWebView2ControllerVtbl makeTable() {
        ICoreWebView2ControllerVtbl table{};
        table.unknown = unknown;
        table.put_Bounds = [](ICoreWebView2Controller*, RECT bounds) -> HRESULT {
            calls().push_back("put_Bounds " + std::to_string(bounds.left) + "," + std::to_string(bounds.top) +
                              "," + std::to_string(bounds.right) + "," + std::to_string(bounds.bottom));
            return S_OK;
        };
        table.Close = [](ICoreWebView2Controller*) -> HRESULT {
            calls().push_back("Close");
            return S_OK;
        };
        table.get_CoreWebView2 = [](ICoreWebView2Controller*, ICoreWebView2** out) -> HRESULT {
            *out = nullptr;
            if (webView == nullptr)
                return E_FAIL;
            FakeWebView::addRef(webView);
            *out = reinterpret_cast<ICoreWebView2*>(webView);
            return S_OK;
        };
        return table;
    }
    static inline const ICoreWebView2ControllerVtbl table = makeTable();
    FakeController() { lpVtbl = &table; }
};

TEST_F(WebView2BrowserTest, TheControllerWrapperSizesClosesAndGivesItsWebView) {
    FakeController runtime;
    FakeWebView page;
    {
        const auto controller = wrapController(reinterpret_cast<ICoreWebView2Controller*>(&runtime));
        EXPECT_EQ(runtime.references, 2u);
        FakeController::webView = &page;
        {
            const auto view = controller->webView();
            ASSERT_TRUE(view);
            EXPECT_EQ(page.references, 2u);
            view->navigate(L"x");
        }
        EXPECT_EQ(page.references, 1u);
        FakeController::webView = nullptr;
        EXPECT_EQ(controller->webView(), nullptr);
        controller->putBounds({-8, 0, 1430, 860});
        controller->close();
    }
    EXPECT_EQ(runtime.references, 1u);
    EXPECT_EQ(calls(), (std::vector<std::string>{"Navigate x", "put_Bounds -8,0,1430,860", "Close"}));
    EXPECT_EQ(wrapController(nullptr), nullptr);
    EXPECT_EQ(wrapEnvironment(nullptr), nullptr);
}

struct FakeSettings : FakeObject<ICoreWebView2SettingsVtbl> {
    static ICoreWebView2SettingsVtbl makeTable() {
        ICoreWebView2SettingsVtbl table{};
        table.unknown = unknown;
        table.put_AreDevToolsEnabled = [](ICoreWebView2Settings*, BOOL enabled) -> HRESULT {
            calls().push_back(std::string("put_AreDevToolsEnabled ") + (enabled ? "TRUE" : "FALSE"));
            return S_OK;
        };
        table.put_AreDefaultContextMenusEnabled = [](ICoreWebView2Settings*, BOOL enabled) -> HRESULT {
            calls().push_back(std::string("put_AreDefaultContextMenusEnabled ") +
                              (enabled ? "TRUE" : "FALSE"));
            return S_OK;
        };
        return table;
    }
    static inline const ICoreWebView2SettingsVtbl table = makeTable();
    FakeSettings() { lpVtbl = &table; }
};

TEST_F(WebView2BrowserTest, TheSettingsWrapperSwitchesBothOptionsAndHoldsOneReference) {
    FakeWebView runtime;
    FakeSettings settingsObject;
    FakeWebView::givenSettings = reinterpret_cast<ICoreWebView2Settings*>(&settingsObject);
    {
        const auto view = wrapWebView(reinterpret_cast<ICoreWebView2*>(&runtime));
        const auto settings = view->settings();
        ASSERT_TRUE(settings);
        EXPECT_EQ(settingsObject.references, 2u);
        settings->setDevToolsEnabled(false);
        settings->setDefaultContextMenusEnabled(false);
        settings->setDevToolsEnabled(true);
    }
    FakeWebView::givenSettings = nullptr;
    EXPECT_EQ(settingsObject.references, 1u);
    EXPECT_EQ(calls(), (std::vector<std::string>{"put_AreDevToolsEnabled FALSE",
                                                 "put_AreDefaultContextMenusEnabled FALSE",
                                                 "put_AreDevToolsEnabled TRUE"}));
}

} // namespace
} // namespace kes::webview2
