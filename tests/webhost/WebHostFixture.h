#pragma once
#include "diagnostics/RecordingKeySender.h"
#include "shell/DesktopServices.h"
#include "shell/FatalReport.h"
#include "shell/HostContext.h"
#include "shell/WindowGeometry.h"
#include "support/FakeBrowser.h"
#include "support/FileBytes.h"
#include "support/ScratchDirectory.h"
#include "webhost/WebViewHost.h"
#include "webhost/WindowServices.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace kes::test {

// A host context with its data and logs in a scratch directory, a hook-less engine with a recording key
// sender, the fake browser, and doubles for the window, tray, hotkey and fatal-report services that write
// into the browser's call list, so the order of everything the host does is visible in one place.
class WebHostFixture : public ::testing::Test {
protected:
    WebHostFixture() : scratch("webhost") {}

    void SetUp() override {
        context.dataDir = scratch.path();
        context.log.setDirectory(scratch / "logs");
        context.stateStore = std::make_unique<StateStore>(scratch / u8"Kestrava配置.json", context.log);
        context.engine = std::make_unique<Engine>(context.log, nullptr, true, keys.sender(),
                                                  [](const std::wstring&) { return true; });
        context.window = &windowToken;

        WindowServices& window = windowServices();
        window.clientRect = [this](void* handle) {
            record("window.clientRect", handle);
            return clientArea;
        };
        window.windowRect = [this](void* handle) {
            record("window.windowRect", handle);
            return windowArea;
        };
        window.postCloseRequest = [this](void* handle) {
            record("window.postCloseRequest", handle);
        };
        window.minimize = [this](void* handle) {
            record("window.minimize", handle);
            minimized = minimizes;
        };
        window.beginDrag = [this](void* handle) {
            record("window.beginDrag", handle);
        };
        window.hitTest = [this](void* handle, int x, int y) {
            record("window.hitTest " + std::to_string(x) + "," + std::to_string(y), handle);
            if (x == windowArea.left + 1 && y == windowArea.top + 1)
                return topLeftCode;
            if (x == windowArea.right - 2 && y == windowArea.bottom - 2)
                return bottomRightCode;
            return static_cast<int>(HitClient);
        };
        window.isMinimized = [this](void* handle) {
            record("window.isMinimized", handle);
            return minimized;
        };
        window.restore = [this](void* handle) {
            record("window.restore", handle);
            minimized = false;
        };
        window.postClose = [this](void* handle) {
            record("window.postClose", handle);
        };

        DesktopServices& desktop = desktopServices();
        desktop.addTrayIcon = [this](void* handle) {
            record("tray.add", handle);
        };
        desktop.updateTrayIcon = [this](void* handle) {
            record("tray.update", handle);
        };
        desktop.registerMasterHotkey = [this](int id, int key) {
            calls().add("hotkey.register " + std::to_string(id) + "," + std::to_string(key));
            return hotkeyRegisters;
        };
        desktop.unregisterMasterHotkey = [this](int id, int key) {
            calls().add("hotkey.unregister " + std::to_string(id) + "," + std::to_string(key));
        };
        setFatalPresenter([this](const std::string& message) { fatalMessages.push_back(message); });
    }

    void TearDown() override {
        setFatalPresenter(nullptr);
        windowServices() = WindowServices();
        desktopServices() = DesktopServices();
        context.engine.reset();
    }

    // Runs the creation chain to a configured web view.
    std::shared_ptr<fake::FakeWebView> openWebView() {
        EXPECT_TRUE(startWebView(loader, scratch / "WebView2", context));
        auto view = loader.completeAll();
        calls().calls.clear();
        return view;
    }

    fake::CallList& calls() { return *loader.calls; }
    bool called(const std::string& call) const {
        const auto& list = loader.calls->calls;
        return std::find(list.begin(), list.end(), call) != list.end();
    }
    std::string errorLog() const {
        const auto file = scratch / u8"logs/错误.log";
        return std::filesystem::exists(file) ? fileBytes(file) : "";
    }

    ScratchDirectory scratch;
    HostContext context;
    RecordingKeySender keys;
    fake::FakeLoader loader;
    int windowToken = 0;
    ClientRect clientArea{0, 0, 1430, 860};
    ClientRect windowArea{245, 110, 1675, 970};
    int topLeftCode = HitTopLeft;
    int bottomRightCode = HitBottomRight;
    bool minimizes = true;
    bool minimized = false;
    bool hotkeyRegisters = true;
    std::vector<std::string> fatalMessages;

private:
    void record(const std::string& call, void* handle) {
        EXPECT_EQ(handle, &windowToken) << call;
        calls().add(call);
    }
};

} // namespace kes::test
