#include "shell/gtk/LinuxDesktop.h"

#include "diagnostics/PerformanceSampler.h"
#include "platform/Clock.h"
#include "platform/x11/X11Desktop.h"
#include "shell/DesktopServices.h"
#include "shell/FatalReport.h"
#include "shell/KeyRelease.h"
#include "shell/MasterHotkey.h"
#include "shell/PerformanceMarkers.h"
#include "shell/UiHeartbeat.h"
#include "shell/WindowSettings.h"
#include "shell/gtk/ClaimedKeys.h"
#include "shell/gtk/ClosePromptDialog.h"
#include "shell/gtk/MainWindow.h"
#include "shell/gtk/SessionWatch.h"
#include "shell/gtk/SingleInstance.h"
#include "shell/gtk/TrayIndicator.h"
#include "storage/LegacyMigration.h"
#include "webhost/WebViewHost.h"
#include "webhost/gtk/WebKitBrowser.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <gdk/gdkx.h>
#include <glib-unix.h>
#include <gtk/gtk.h>

#include <exception>
#include <memory>
#include <stdexcept>

namespace kes::gtk {
namespace {

constexpr guint housekeepingPeriod = 100;    // ms
constexpr guint startupCheckTimeout = 45000; // ms

PerfCounters& performanceCounters() {
    static PerfCounters counters;
    return counters;
}

const std::int64_t processStartCounter = platform::performanceCounter();

void presentFatal(const std::string& message) {
    HostContext& context = hostContext();
    if (!context.options.startupCheck && !context.options.selfCheck)
        showMessage(context.window != nullptr ? GTK_WINDOW(context.window) : nullptr, message, true);
    if (context.window != nullptr)
        postToMainLoop([&context] { closeMainWindow(context); });
}

void housekeeping(HostContext& context) {
    static UiHeartbeat heartbeat(processStartCounter, platform::performanceFrequency());
    updateTrayIcon(context.window); // the close prompt may have changed the stored choice the menu shows
    if (context.engine)
        context.engine->checkForeground();
    if (!context.sampler)
        return;
    PerfCounters* counters = context.sampler->counters();
    PerfCounters unused;
    if (heartbeat.tick(platform::performanceCounter(), counters != nullptr ? *counters : unused)) {
        try {
            context.sampler->sample();
        } catch (const std::exception& e) {
            context.log.write(LogLevel::Error, e.what());
            context.sampler.reset();
        }
    }
}

// Brings the first instance's window forward through the window manager.
void activateFirstWindow(unsigned long window) {
    if (window == 0)
        return;
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr)
        return;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = 2; // from a pager: the request comes from the user
    XSendEvent(display, DefaultRootWindow(display), False, SubstructureRedirectMask | SubstructureNotifyMask,
               &event);
    XMapRaised(display, window);
    XCloseDisplay(display);
}

// Watches the key connection: its descriptor, and events Xlib has already read into its queue.
struct KeySource {
    GSource source;
    platform::x11::X11Desktop* desktop;
    gpointer tag;
};

GSourceFuncs keySourceFunctions = {
    [](GSource* source, gint* timeout) -> gboolean {
        *timeout = -1;
        return reinterpret_cast<KeySource*>(source)->desktop->hasQueuedEvents();
    },
    [](GSource* source) -> gboolean {
        auto* keys = reinterpret_cast<KeySource*>(source);
        return (g_source_query_unix_fd(source, keys->tag) & G_IO_IN) != 0 || keys->desktop->hasQueuedEvents();
    },
    [](GSource* source, GSourceFunc, gpointer) -> gboolean {
        reinterpret_cast<KeySource*>(source)->desktop->dispatchPending();
        return G_SOURCE_CONTINUE;
    },
    nullptr,
    nullptr,
    nullptr};

// The key connection's watch on the main loop, removed before the connection goes.
class KeyWatch {
public:
    explicit KeyWatch(platform::x11::X11Desktop& desktop)
        : source_(g_source_new(&keySourceFunctions, sizeof(KeySource))) {
        auto* keys = reinterpret_cast<KeySource*>(source_);
        keys->desktop = &desktop;
        keys->tag = g_source_add_unix_fd(source_, desktop.connectionFd(), G_IO_IN);
        g_source_set_priority(source_, G_PRIORITY_HIGH);
        g_source_attach(source_, nullptr);
    }
    ~KeyWatch() {
        g_source_destroy(source_);
        g_source_unref(source_);
    }
    KeyWatch(const KeyWatch&) = delete;
    KeyWatch& operator=(const KeyWatch&) = delete;

private:
    GSource* source_;
};

} // namespace

int runLinuxDesktop(HostContext& context, const DataDirectories& directories, int argc, char** argv) {
    const CommandLineOptions& options = context.options;
    XInitThreads();
    g_set_prgname("kestrava");
    if (!gtk_init_check(&argc, &argv))
        throw std::runtime_error("无法连接桌面显示，请在图形桌面中运行");
    if (!GDK_IS_X11_DISPLAY(gdk_display_get_default()))
        throw std::runtime_error("桌面不是 X11 会话，全局按键不可用");
    setFatalPresenter(presentFatal);

    std::unique_ptr<SingleInstance> instance;
    if (!options.startupCheck) {
        instance = std::make_unique<SingleInstance>();
        if (!instance->isFirst()) {
            activateFirstWindow(instance->firstWindow());
            return 0;
        }
    }

    if (!directories.dataRootGiven())
        migrateLegacyConfigAtStartup(context.dataDir, directories.legacyConfigFile(), context.log);
    context.stateStore = std::make_unique<StateStore>(stateFilePath(context.dataDir), context.log);

    // The keyboard and window services must exist before the engine can be switched on.
    auto keys = std::make_unique<platform::x11::X11Desktop>();
    auto keyWatch = std::make_unique<KeyWatch>(*keys);
    DesktopServices& services = desktopServices();
    services.registerMasterHotkey = [&keys, &context](int id, int key) {
        return keys->registerHotkey(id, functionKeyCode(key), 0, [&context] { toggleMasterSwitch(context); });
    };
    services.unregisterMasterHotkey = [&keys](int id, int) {
        keys->unregisterHotkey(id);
    };
    std::unique_ptr<TrayIndicator> tray;
    services.addTrayIcon = [&tray, &context](void*) {
        try {
            tray = createTrayIndicator(context);
        } catch (const std::exception& e) {
            context.log.write(LogLevel::Error, e.what());
            tray.reset();
        }
        context.trayIconAdded = tray != nullptr;
        if (tray)
            context.log.write(LogLevel::Info, "已添加系统托盘图标");
        else
            context.log.write(LogLevel::Info, "桌面没有系统托盘，关闭窗口时只能退出程序");
    };
    services.updateTrayIcon = [&tray](void*) {
        if (tray)
            tray->refresh();
    };

    PerfCounters* counters = options.performance ? &performanceCounters() : nullptr;
    context.engine = std::make_unique<Engine>(context.log, counters, false, KeySender(), ProgramMatcher());
    if (options.performance)
        context.sampler =
            std::make_unique<PerformanceSampler>(context.log.directory(), context.log, counters);
    auto sessionWatch = std::make_unique<SessionWatch>(
        context.log, [&context](ReleaseOccasion occasion) { releaseHeldKeys(context, occasion); });

    GtkWidget* window = createMainWindow(context);
    installWindowServices(context);
    if (!options.startupCheck)
        loadWindowSettings(context);
    if (options.performance) {
        registerMarkerHotkeys(context.log, [&keys, &context](int id, int vk) {
            return keys->registerHotkey(id, vk, markerHotkeyModifiers,
                                        [&context, id] { handleMarkerHotkey(context, id); });
        });
    }
    const guint housekeepingTimer = g_timeout_add(
        housekeepingPeriod,
        [](gpointer data) -> gboolean {
            housekeeping(*static_cast<HostContext*>(data));
            return G_SOURCE_CONTINUE;
        },
        &context);
    guint startupCheckTimer = 0;
    if (options.startupCheck) {
        startupCheckTimer = g_timeout_add(
            startupCheckTimeout,
            [](gpointer) -> gboolean {
                reportFatal("窗口启动验收超时");
                return G_SOURCE_REMOVE;
            },
            nullptr);
    }
    gtk_widget_show(window);
    if (instance)
        instance->recordWindow(GDK_WINDOW_XID(gtk_widget_get_window(window)));

    const auto loader = makeWebKitLoader([&keys](const std::string& text) {
        if (const auto claimed = claimedKeysOfPageMessage(text))
            keys->setClaimedKeys(*claimed);
    });
    if (!startWebView(*loader, directories.webView2UserDataFolder(), context))
        reportFatal(missingRuntimeMessage);

    gtk_main();

    g_source_remove(housekeepingTimer);
    if (startupCheckTimer != 0)
        g_source_remove(startupCheckTimer); // harmless when it already fired
    sessionWatch.reset();
    context.engine.reset();
    context.sampler.reset();
    releaseWebViewEnvironment(context);
    services.registerMasterHotkey = nullptr;
    services.unregisterMasterHotkey = nullptr;
    services.addTrayIcon = nullptr;
    services.updateTrayIcon = nullptr;
    tray.reset();
    context.trayIconAdded = false;
    keyWatch.reset();
    keys.reset();
    context.log.write(LogLevel::Info, "Vantix 主程序正常退出");
    return context.exitCode;
}

} // namespace kes::gtk
