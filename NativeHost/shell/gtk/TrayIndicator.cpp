#include "shell/gtk/TrayIndicator.h"

#ifdef KES_HAVE_TRAY
#include "platform/EmbeddedResources.h"
#include "shell/ClosePrompt.h"
#include "shell/TrayLogic.h"
#include "shell/gtk/ClosePromptDialog.h"
#include "shell/gtk/MainWindow.h"
#include "shell/gtk/SessionBus.h"

#include <gio/gio.h>
#include <gtk/gtk.h>
#include <libayatana-appindicator/app-indicator.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#endif

namespace kes::gtk {

#ifdef KES_HAVE_TRAY
namespace {

// The session bus, when a StatusNotifier watcher owns its name there; null otherwise.
GDBusConnection* sessionBusWithWatcher() {
    GDBusConnection* bus = sessionBusIfRunning();
    if (bus == nullptr)
        return nullptr;
    GVariant* reply = g_dbus_connection_call_sync(
        bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "NameHasOwner",
        g_variant_new("(s)", "org.kde.StatusNotifierWatcher"), G_VARIANT_TYPE("(b)"), G_DBUS_CALL_FLAGS_NONE,
        1000, nullptr, nullptr);
    gboolean owned = FALSE;
    if (reply != nullptr) {
        g_variant_get(reply, "(b)", &owned);
        g_variant_unref(reply);
    }
    if (owned == FALSE) {
        g_object_unref(bus);
        return nullptr;
    }
    return bus;
}

std::string iconName(bool macrosEnabled) {
    return macrosEnabled ? "kestrava-macros-on" : "kestrava-macros-off";
}

// Writes the embedded icon resource as "<name>.png" into `folder`, where the indicator looks it up.
void writeIconFile(const std::filesystem::path& folder, bool macrosEnabled) {
    const auto bytes =
        platform::findEmbeddedResource(static_cast<std::uint16_t>(trayIconResource(macrosEnabled)));
    if (!bytes)
        throw std::runtime_error("托盘图标资源缺失");
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new();
    const bool loaded = gdk_pixbuf_loader_write(loader, reinterpret_cast<const guchar*>(bytes->data()),
                                                bytes->size(), nullptr) &&
                        gdk_pixbuf_loader_close(loader, nullptr);
    GdkPixbuf* image = loaded ? gdk_pixbuf_loader_get_pixbuf(loader) : nullptr;
    const std::string file = (folder / (iconName(macrosEnabled) + ".png")).string();
    const bool saved = image != nullptr && gdk_pixbuf_save(image, file.c_str(), "png", nullptr, nullptr);
    if (!loaded)
        gdk_pixbuf_loader_close(loader, nullptr);
    g_object_unref(loader);
    if (!saved)
        throw std::runtime_error("无法写入托盘图标文件");
}

class AppIndicatorTray final : public TrayIndicator {
public:
    // `bus` is the session bus the indicator and its menu reach the watcher through: the process's shared
    // connection, held here for as long as they use it, so that it is never let go and opened again
    // while they ask for it.
    AppIndicatorTray(HostContext& context, GDBusConnection* bus) : context_(context), bus_(bus) {
        folder_ = std::filesystem::path(g_get_user_runtime_dir()) / "kestrava-icons";
        std::filesystem::create_directories(folder_);
        writeIconFile(folder_, true);
        writeIconFile(folder_, false);
        indicator_ =
            app_indicator_new("kestrava", iconName(true).c_str(), APP_INDICATOR_CATEGORY_APPLICATION_STATUS);
        app_indicator_set_icon_theme_path(indicator_, folder_.string().c_str());
        refresh();
        app_indicator_set_status(indicator_, APP_INDICATOR_STATUS_ACTIVE);
    }
    ~AppIndicatorTray() override {
        app_indicator_set_status(indicator_, APP_INDICATOR_STATUS_PASSIVE);
        g_object_unref(indicator_);
        g_object_unref(bus_);
    }
    AppIndicatorTray(const AppIndicatorTray&) = delete;
    AppIndicatorTray& operator=(const AppIndicatorTray&) = delete;

    void refresh() override {
        const bool enabled = context_.engine && context_.engine->isEnabled();
        if (!shownEnabled_ || *shownEnabled_ != enabled) {
            const std::string tip = trayTipText(enabled);
            app_indicator_set_icon_full(indicator_, iconName(enabled).c_str(), tip.c_str());
            app_indicator_set_title(indicator_, tip.c_str());
            shownEnabled_ = enabled;
        }
        if (!menuChoice_ || *menuChoice_ != context_.closeChoice) {
            app_indicator_set_menu(indicator_, buildMenu());
            menuChoice_ = context_.closeChoice;
        }
    }

private:
    // The menu is rebuilt whenever the stored close choice changes ("恢复关闭提示" is grayed under "ask").
    GtkMenu* buildMenu() {
        GtkWidget* menu = gtk_menu_new();
        for (const TrayMenuItem& item : trayMenuItems(context_.closeChoice)) {
            GtkWidget* entry = item.command == TrayMenuCommand::None
                                   ? gtk_separator_menu_item_new()
                                   : gtk_menu_item_new_with_label(item.text.c_str());
            gtk_widget_set_sensitive(entry, !item.grayed);
            if (item.command != TrayMenuCommand::None) {
                g_object_set_data(G_OBJECT(entry), "kes-command",
                                  GINT_TO_POINTER(static_cast<int>(item.command)));
                g_signal_connect(entry, "activate", G_CALLBACK(onActivate), this);
            }
            gtk_menu_shell_append(GTK_MENU_SHELL(menu), entry);
        }
        gtk_widget_show_all(menu);
        return GTK_MENU(menu);
    }

    static void onActivate(GtkMenuItem* entry, gpointer data) {
        auto* tray = static_cast<AppIndicatorTray*>(data);
        const auto command =
            static_cast<TrayMenuCommand>(GPOINTER_TO_INT(g_object_get_data(G_OBJECT(entry), "kes-command")));
        // Posted: the menu's own handling ends before a dialog opens or the window goes.
        postToMainLoop([tray, command] { tray->run(command); });
    }

    void run(TrayMenuCommand command) {
        HostContext& context = context_;
        if (context.closePromptOpen || context.window == nullptr)
            return;
        GtkWindow* window = GTK_WINDOW(context.window);
        switch (command) {
        case TrayMenuCommand::OpenMainWindow:
            gtk_widget_show(GTK_WIDGET(window));
            gtk_window_deiconify(window);
            gtk_window_present(window);
            break;
        case TrayMenuCommand::RestoreClosePrompt:
            resetClosePrompt(context,
                             [window](const std::string& text) { showMessage(window, text, false); });
            refresh();
            break;
        case TrayMenuCommand::ExitProgram:
            closeMainWindow(context);
            break;
        case TrayMenuCommand::None:
            break;
        }
    }

    HostContext& context_;
    GDBusConnection* bus_;
    std::filesystem::path folder_;
    AppIndicator* indicator_ = nullptr;
    std::optional<bool> shownEnabled_;
    std::optional<CloseChoice> menuChoice_;
};

} // namespace
#endif

std::unique_ptr<TrayIndicator> createTrayIndicator([[maybe_unused]] HostContext& context) {
#ifdef KES_HAVE_TRAY
    GDBusConnection* bus = sessionBusWithWatcher();
    if (bus == nullptr)
        return nullptr;
    try {
        return std::make_unique<AppIndicatorTray>(context, bus);
    } catch (...) {
        g_object_unref(bus);
        throw;
    }
#else
    return nullptr;
#endif
}

} // namespace kes::gtk
