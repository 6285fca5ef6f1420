#include "webhost/WebViewHost.h"

#include "diagnostics/StartupCheck.h"
#include "shell/DesktopServices.h"
#include "shell/FatalReport.h"
#include "storage/QuietLog.h"
#include "webhost/PageMessages.h"
#include "webhost/VirtualOrigin.h"
#include "webhost/WebResourceAdapter.h"
#include "webhost/WindowServices.h"

#include <utility>

namespace kes {

namespace {

ClientRect clientRectOf(void* window) {
    const auto& operation = windowServices().clientRect;
    return operation ? operation(window) : ClientRect{};
}

} // namespace

bool startWebView(BrowserLoader& loader, const std::filesystem::path& userDataFolder, HostContext& context) {
    const BrowserResult result = loader.createEnvironment(
        userDataFolder, [&context](BrowserResult created, std::shared_ptr<BrowserEnvironment> environment) {
            return onEnvironmentCreated(created, std::move(environment), context);
        });
    return !browserFailed(result);
}

BrowserResult onEnvironmentCreated(BrowserResult result, std::shared_ptr<BrowserEnvironment> environment,
                                   HostContext& context) {
    if (browserFailed(result) || !environment) {
        reportFatal(environmentFailedMessage);
        return browserOk;
    }
    context.environment = std::move(environment);
    const BrowserResult started = context.environment->createController(
        context.window, [&context](BrowserResult created, std::shared_ptr<BrowserController> controller) {
            return onControllerCreated(created, std::move(controller), context);
        });
    // A refusal at once would otherwise leave an empty window that never gets its page.
    if (browserFailed(started))
        reportFatal(controllerFailedMessage);
    return started;
}

BrowserResult onControllerCreated(BrowserResult result, std::shared_ptr<BrowserController> controller,
                                  HostContext& context) {
    if (browserFailed(result) || !controller) {
        reportFatal(controllerFailedMessage);
        return browserOk;
    }
    context.controller = std::move(controller);
    context.webView.reset();
    context.webView = context.controller->webView();
    // A controller without its page would leave an empty window that never shows anything.
    if (!context.webView) {
        reportFatal(controllerFailedMessage);
        return browserOk;
    }
    configureWebView(context);
    return browserOk;
}

void configureWebView(HostContext& context) {
    BrowserWebView* webView = context.webView.get();
    if (webView == nullptr)
        return;
    // Handlers refer to the context, never to the browser objects, so that the context's references stay
    // the only ones and releasing them ends the web view.
    webView->addWebResourceRequestedFilter(requestFilter);
    webView->addWebResourceRequested(
        [&context](BrowserWebResourceRequest& request) { return onWebResourceRequested(request, context); });
    webView->addWebMessageReceived(
        [&context](BrowserWebMessage& message) { return onWebMessageReceived(message, context); });
    webView->addNavigationStarting(
        [](BrowserNavigationStarting& navigation) { return onNavigationStarting(navigation); });
    webView->addNewWindowRequested(
        [](BrowserNewWindowRequest& request) { return onNewWindowRequested(request); });
    if (const auto settings = webView->settings()) {
        settings->setDevToolsEnabled(false);
        settings->setDefaultContextMenusEnabled(false);
    } else {
        logQuietly(context.log, LogLevel::Error, settingsMissingMessage);
    }
    if (context.engine) {
        context.engine->statusCallback = [&context](bool enabled, const std::string& message) {
            postMacroStatus(enabled, message, context);
        };
        context.engine->noticeCallback = [&context](const std::string& message) {
            postNotice(message, context);
        };
    }
    if (context.options.startupCheck) {
        webView->addNavigationCompleted([&context](BrowserNavigationCompleted& navigation) {
            return onNavigationCompleted(navigation, context);
        });
    }
    resizeWebView(context);
    webView->navigate(startAddress);
    if (!context.options.startupCheck)
        addTrayIcon(context.window);
}

BrowserResult onNavigationStarting(BrowserNavigationStarting& navigation) {
    if (!isNavigationAllowed(navigation.uri()))
        navigation.cancel();
    return browserOk;
}

BrowserResult onNewWindowRequested(BrowserNewWindowRequest& request) {
    request.setHandled();
    return browserOk;
}

BrowserResult onNavigationCompleted(BrowserNavigationCompleted& navigation, HostContext& context) {
    if (navigation.isSuccess()) {
        if (context.webView)
            context.webView->executeScript(startupCheckScriptText());
    } else {
        reportFatal(navigationFailedMessage);
    }
    return browserOk;
}

void resizeWebView(HostContext& context) {
    if (context.controller)
        context.controller->putBounds(clientRectOf(context.window));
}

void closeWebView(HostContext& context) {
    // The references go also when closing throws, so that nothing keeps the web view alive.
    struct ReleaseReferences {
        HostContext& owner;
        ~ReleaseReferences() {
            owner.webView.reset();
            owner.controller.reset();
        }
    } release{context};
    if (context.controller)
        context.controller->close();
}

void releaseWebViewEnvironment(HostContext& context) {
    context.environment.reset();
}

} // namespace kes
