#pragma once
#include "shell/HostContext.h"
#include "webhost/Browser.h"

#include <filesystem>
#include <memory>

namespace kes {

// The web view's creation chain (environment, then controller and web view), its one-time configuration,
// the navigation policy and the close path. Everything runs on the user-interface thread; each browser
// object in the host context holds the context's only reference to it.

inline constexpr const char* missingRuntimeMessage = "缺少 WebView2 运行环境。";
inline constexpr const char* environmentFailedMessage = "无法加载 WebView2，请安装微软 WebView2 运行环境。";
inline constexpr const char* controllerFailedMessage = "无法创建网页窗口";
inline constexpr const char* navigationFailedMessage = "网页导航失败";
// Logged when the runtime gives no settings object: developer tools and context menus keep its defaults.
inline constexpr const char* settingsMissingMessage = "无法读取网页设置，开发者工具和右键菜单未能关闭";

// Start-up, once the main window is shown: asks the loader for an environment with the user-data folder.
// False when the loader refused at once; the caller reports that as missingRuntimeMessage and goes on into
// the message loop.
bool startWebView(BrowserLoader& loader, const std::filesystem::path& userDataFolder,
                  HostContext& context = hostContext());

// The creation chain's completions.
BrowserResult onEnvironmentCreated(BrowserResult result, std::shared_ptr<BrowserEnvironment> environment,
                                   HostContext& context = hostContext());
BrowserResult onControllerCreated(BrowserResult result, std::shared_ptr<BrowserController> controller,
                                  HostContext& context = hostContext());

// Filter, handlers, settings, the engine's status callback, the navigation-completed handler (start-up check
// only), bounds, the first navigation and, in interactive runs, the tray icon — in this order.
void configureWebView(HostContext& context = hostContext());

BrowserResult onNavigationStarting(BrowserNavigationStarting& navigation);
BrowserResult onNewWindowRequested(BrowserNewWindowRequest& request);
BrowserResult onNavigationCompleted(BrowserNavigationCompleted& navigation,
                                    HostContext& context = hostContext());

// Gives the web view the window's client area (also on every size change of the window).
void resizeWebView(HostContext& context = hostContext());

// The window's close path: closes the controller and releases the web view and the controller.
void closeWebView(HostContext& context = hostContext());
// After the message loop: releases the environment.
void releaseWebViewEnvironment(HostContext& context = hostContext());

} // namespace kes
