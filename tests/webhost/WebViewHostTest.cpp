#include "webhost/WebViewHost.h"
#include "diagnostics/StartupCheck.h"
#include "platform/TextConversion.h"
#include "webhost/VirtualOrigin.h"
#include "webhost/WebHostFixture.h"

#include <gtest/gtest.h>

namespace kes {
namespace {

using test::WebHostFixture;
using Calls = std::vector<std::string>;

class WebViewHostTest : public WebHostFixture {};

TEST_F(WebViewHostTest, CreationChainConfiguresTheWebViewInOrderAndAddsTheTrayIconLast) {
    ASSERT_TRUE(startWebView(loader, scratch / "WebView2", context));
    EXPECT_EQ(loader.userDataFolder, scratch / "WebView2");
    loader.completeAll();

    EXPECT_EQ(calls().calls, (Calls{
                                 "loader.createEnvironment",
                                 "environment.createController",
                                 "controller.webView",
                                 "webView.addWebResourceRequestedFilter https://kestrava.invalid/*",
                                 "webView.addWebResourceRequested",
                                 "webView.addWebMessageReceived",
                                 "webView.addNavigationStarting",
                                 "webView.addNewWindowRequested",
                                 "webView.settings",
                                 "settings.setDevToolsEnabled false",
                                 "settings.setDefaultContextMenusEnabled false",
                                 "window.clientRect",
                                 "controller.putBounds 0,0,1430,860",
                                 "webView.navigate https://kestrava.invalid/?desktop=1",
                                 "tray.add",
                             }));
    EXPECT_EQ(loader.environment.lock()->parentWindow, &windowToken);
    EXPECT_TRUE(context.environment && context.controller && context.webView);
    EXPECT_TRUE(fatalMessages.empty());
}

TEST_F(WebViewHostTest, StartupCheckModeWatchesNavigationsAndAddsNoTrayIcon) {
    context.options.startupCheck = true;
    ASSERT_TRUE(startWebView(loader, scratch / "WebView2", context));
    loader.completeAll();

    const Calls& list = calls().calls;
    const auto at = [&](const std::string& call) {
        return std::find(list.begin(), list.end(), call) - list.begin();
    };
    ASSERT_TRUE(called("webView.addNavigationCompleted"));
    EXPECT_GT(at("webView.addNavigationCompleted"), at("settings.setDefaultContextMenusEnabled false"));
    EXPECT_LT(at("webView.addNavigationCompleted"), at("controller.putBounds 0,0,1430,860"));
    EXPECT_EQ(list.back(), "webView.navigate https://kestrava.invalid/?desktop=1");
    EXPECT_FALSE(called("tray.add"));
}

TEST_F(WebViewHostTest, InteractiveRunsRegisterNoNavigationCompletedHandler) {
    const auto view = openWebView();
    EXPECT_TRUE(view->navigationCompletedHandlers.empty());
}

TEST_F(WebViewHostTest, ABrowserWithoutSettingsIsStillConfigured) {
    ASSERT_TRUE(startWebView(loader, scratch / "WebView2", context));
    auto environment = std::make_shared<fake::FakeEnvironment>(loader.calls);
    auto view = std::make_shared<fake::FakeWebView>(loader.calls);
    view->settingsObject.reset();
    loader.completeEnvironment(browserOk, environment);
    environment->completeController(browserOk, std::make_shared<fake::FakeController>(loader.calls, view));
    EXPECT_EQ(view->navigations, std::vector<std::wstring>{startAddress});
    EXPECT_TRUE(fatalMessages.empty());
    EXPECT_NE(errorLog().find(std::string("] ") + settingsMissingMessage + "\n"), std::string::npos)
        << errorLog();
}

// A controller that gives no web view would leave an empty window: that is the failed creation's report.
TEST_F(WebViewHostTest, AControllerWithoutAWebViewIsFatal) {
    ASSERT_TRUE(startWebView(loader, scratch / "WebView2", context));
    auto environment = std::make_shared<fake::FakeEnvironment>(loader.calls);
    ASSERT_EQ(loader.completeEnvironment(browserOk, environment), browserOk);
    EXPECT_EQ(environment->completeController(browserOk,
                                              std::make_shared<fake::FakeController>(loader.calls, nullptr)),
              browserOk);
    EXPECT_EQ(fatalMessages, Calls{"无法创建网页窗口"});
    EXPECT_FALSE(context.webView);
    EXPECT_FALSE(called("tray.add"));
}

TEST_F(WebViewHostTest, ARefusingLoaderIsReportedByTheCaller) {
    loader.createEnvironmentResult = browserFailure;
    EXPECT_FALSE(startWebView(loader, scratch / "WebView2", context));
    EXPECT_TRUE(fatalMessages.empty());
    EXPECT_FALSE(context.environment);
}

TEST_F(WebViewHostTest, EnvironmentCreationFailuresAreFatal) {
    struct Case {
        BrowserResult result;
        bool withEnvironment;
    };
    for (const Case& failure :
         {Case{browserFailure, true}, Case{browserFailure, false}, Case{browserOk, false}}) {
        fatalMessages.clear();
        ASSERT_TRUE(startWebView(loader, scratch / "WebView2", context));
        auto environment =
            failure.withEnvironment ? std::make_shared<fake::FakeEnvironment>(loader.calls) : nullptr;
        EXPECT_EQ(loader.completeEnvironment(failure.result, environment), browserOk);
        EXPECT_EQ(fatalMessages, Calls{"无法加载 WebView2，请安装微软 WebView2 运行环境。"});
        EXPECT_FALSE(context.environment);
        EXPECT_FALSE(called("environment.createController"));
    }
}

TEST_F(WebViewHostTest, ControllerCreationFailuresAreFatal) {
    struct Case {
        BrowserResult result;
        bool withController;
    };
    for (const Case& failure :
         {Case{browserFailure, true}, Case{browserFailure, false}, Case{browserOk, false}}) {
        fatalMessages.clear();
        ASSERT_TRUE(startWebView(loader, scratch / "WebView2", context));
        auto environment = std::make_shared<fake::FakeEnvironment>(loader.calls);
        ASSERT_EQ(loader.completeEnvironment(browserOk, environment), browserOk);
        auto controller = failure.withController
                              ? std::make_shared<fake::FakeController>(
                                    loader.calls, std::make_shared<fake::FakeWebView>(loader.calls))
                              : nullptr;
        EXPECT_EQ(environment->completeController(failure.result, controller), browserOk);
        EXPECT_EQ(fatalMessages, Calls{"无法创建网页窗口"});
        EXPECT_FALSE(context.controller);
        EXPECT_FALSE(context.webView);
    }
}

TEST_F(WebViewHostTest, AControllerRequestRefusedAtOnceIsFatalAndItsResultGoesBack) {
    ASSERT_TRUE(startWebView(loader, scratch / "WebView2", context));
    auto environment = std::make_shared<fake::FakeEnvironment>(loader.calls);
    environment->createControllerResult = static_cast<BrowserResult>(0x80070057u);
    EXPECT_EQ(loader.completeEnvironment(browserOk, environment), static_cast<BrowserResult>(0x80070057u));
    EXPECT_EQ(fatalMessages, Calls{"无法创建网页窗口"});
}

TEST_F(WebViewHostTest, TheContextHoldsTheOnlyReferencesAndClosingReleasesEverything) {
    openWebView();
    EXPECT_EQ(loader.environment.use_count(), 1);
    EXPECT_EQ(loader.controller.use_count(), 1);
    // The web view is held by the context and by its own controller, nothing else (no handler keeps it).
    EXPECT_EQ(loader.webView.use_count(), 2);

    closeWebView(context);
    EXPECT_EQ(calls().calls, Calls{"controller.close"});
    EXPECT_FALSE(context.controller);
    EXPECT_FALSE(context.webView);
    EXPECT_TRUE(loader.controller.expired());
    EXPECT_TRUE(loader.webView.expired());
    EXPECT_FALSE(loader.environment.expired());

    releaseWebViewEnvironment(context);
    EXPECT_TRUE(loader.environment.expired());
}

TEST_F(WebViewHostTest, StoringNewObjectsReleasesTheOldOnes) {
    openWebView();
    const auto firstEnvironment = loader.environment;
    const auto firstController = loader.controller;
    const auto firstView = loader.webView;

    auto environment = std::make_shared<fake::FakeEnvironment>(loader.calls);
    onEnvironmentCreated(browserOk, environment, context);
    EXPECT_TRUE(firstEnvironment.expired());
    auto view = std::make_shared<fake::FakeWebView>(loader.calls);
    environment->completeController(browserOk, std::make_shared<fake::FakeController>(loader.calls, view));
    EXPECT_TRUE(firstController.expired());
    EXPECT_TRUE(firstView.expired());
    EXPECT_EQ(context.webView.get(), view.get());
}

TEST_F(WebViewHostTest, WithoutAControllerClosingAndResizingDoNothing) {
    closeWebView(context);
    resizeWebView(context);
    EXPECT_TRUE(calls().calls.empty());
}

TEST_F(WebViewHostTest, ResizingHandsTheCurrentClientAreaToTheController) {
    openWebView();
    clientArea = {0, 0, 800, 600};
    resizeWebView(context);
    EXPECT_EQ(calls().calls, (Calls{"window.clientRect", "controller.putBounds 0,0,800,600"}));
}

TEST_F(WebViewHostTest, NavigationStaysBelowTheOriginsRoot) {
    const auto view = openWebView();
    for (const std::wstring allowed : {L"https://kestrava.invalid/", L"https://kestrava.invalid/?desktop=1",
                                       L"https://kestrava.invalid/index.html#top"})
        EXPECT_FALSE(view->startNavigation(allowed)) << toUtf8(allowed);
    for (const std::wstring refused :
         {L"https://kestrava.invalid", L"https://kestrava.invalid?desktop=1", L"https://KESTRAVA.invalid/",
          L"HTTPS://kestrava.invalid/", L"http://kestrava.invalid/", L"https://kestrava.invalid.example.com/",
          L"https://kestrava.invalidx/", L"https://example.com/https://kestrava.invalid/", L"about:blank",
          L"", L" https://kestrava.invalid/"})
        EXPECT_TRUE(view->startNavigation(refused)) << toUtf8(refused);
}

TEST_F(WebViewHostTest, NewWindowsAreAlwaysRefused) {
    const auto view = openWebView();
    EXPECT_TRUE(view->requestNewWindow());
}

TEST_F(WebViewHostTest, EverySuccessfulNavigationRunsTheStartupCheckScript) {
    context.options.startupCheck = true;
    const auto view = openWebView();
    EXPECT_EQ(view->completeNavigation(true), browserOk);
    EXPECT_EQ(view->completeNavigation(true), browserOk);
    ASSERT_EQ(view->scripts.size(), 2u);
    EXPECT_EQ(view->scripts[0], toWide(startupCheckScript));
    EXPECT_TRUE(fatalMessages.empty());
}

TEST_F(WebViewHostTest, AFailedNavigationInStartupCheckModeIsFatal) {
    context.options.startupCheck = true;
    const auto view = openWebView();
    EXPECT_EQ(view->completeNavigation(false), browserOk);
    EXPECT_EQ(fatalMessages, Calls{"网页导航失败"});
    EXPECT_TRUE(view->scripts.empty());
}

TEST_F(WebViewHostTest, TheEngineReportsSwitchingOnToThePage) {
    const auto view = openWebView();
    context.engine->setEnabled(true);
    EXPECT_EQ(view->postedJson,
              std::vector<std::wstring>{L"{\"enabled\":true,\"message\":\"宏已启用。\",\"type\":"
                                        L"\"macro-status\"}"});
}

} // namespace
} // namespace kes
