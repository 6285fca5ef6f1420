#include "shell/gtk/MainWindow.h"

#include "shell/ClosePrompt.h"
#include "shell/DesktopServices.h"
#include "shell/WindowGeometry.h"
#include "shell/gtk/ClosePromptDialog.h"
#include "webhost/WindowServices.h"

#include <exception>
#include <optional>

namespace kes::gtk {
namespace {

// The last primary-button press on the page, from which the page's "drag" starts the move.
struct PointerPress {
    guint button = 0;
    int rootX = 0;
    int rootY = 0;
    guint32 time = 0;
};
std::optional<PointerPress> lastPress;

GtkWindow* asWindow(void* window) {
    return GTK_WINDOW(window);
}

std::optional<GdkWindowEdge> edgeOf(int hit) {
    switch (hit) {
    case HitLeft:
        return GDK_WINDOW_EDGE_WEST;
    case HitRight:
        return GDK_WINDOW_EDGE_EAST;
    case HitTop:
        return GDK_WINDOW_EDGE_NORTH;
    case HitTopLeft:
        return GDK_WINDOW_EDGE_NORTH_WEST;
    case HitTopRight:
        return GDK_WINDOW_EDGE_NORTH_EAST;
    case HitBottom:
        return GDK_WINDOW_EDGE_SOUTH;
    case HitBottomLeft:
        return GDK_WINDOW_EDGE_SOUTH_WEST;
    case HitBottomRight:
        return GDK_WINDOW_EDGE_SOUTH_EAST;
    default:
        return std::nullopt;
    }
}

// Runs before the page sees the press: a press in the resize band resizes the window and never reaches
// the page.
gboolean onPagePress(GtkWidget*, GdkEventButton* event, gpointer data) {
    auto* window = static_cast<GtkWidget*>(data);
    if (event->type != GDK_BUTTON_PRESS || event->button != 1)
        return FALSE;
    lastPress = PointerPress{event->button, static_cast<int>(event->x_root), static_cast<int>(event->y_root),
                             event->time};
    const int hit =
        hitTestBorderless(static_cast<int>(event->x), static_cast<int>(event->y),
                          gtk_widget_get_allocated_width(window), gtk_widget_get_allocated_height(window));
    if (const auto edge = edgeOf(hit)) {
        gtk_window_begin_resize_drag(GTK_WINDOW(window), *edge, static_cast<gint>(event->button),
                                     lastPress->rootX, lastPress->rootY, event->time);
        return TRUE;
    }
    return FALSE;
}

// The pointer's shape over each part of the resize band.
const char* resizeCursorName(int hit) {
    switch (hit) {
    case HitLeft:
        return "w-resize";
    case HitRight:
        return "e-resize";
    case HitTop:
        return "n-resize";
    case HitTopLeft:
        return "nw-resize";
    case HitTopRight:
        return "ne-resize";
    case HitBottom:
        return "s-resize";
    case HitBottomLeft:
        return "sw-resize";
    case HitBottomRight:
        return "se-resize";
    default:
        return nullptr;
    }
}

// The page sets its own pointer shapes on the web view's window; over the resize band the window's edge or
// corner shape replaces the page's, which comes back when the pointer returns to the page.
class BandCursor {
public:
    // Returns whether the pointer is in the band (the page then does not see the motion).
    bool follow(GdkWindow* surface, int hit) {
        const char* name = resizeCursorName(hit);
        if (name == nullptr) {
            leave(surface);
            return false;
        }
        if (!shown_) {
            GdkCursor* page = gdk_window_get_cursor(surface);
            pageCursor_ = page != nullptr ? GDK_CURSOR(g_object_ref(page)) : nullptr;
        }
        if (shownHit_ != hit) {
            GdkCursor* cursor = gdk_cursor_new_from_name(gdk_window_get_display(surface), name);
            gdk_window_set_cursor(surface, cursor);
            if (cursor != nullptr)
                g_object_unref(cursor);
            shownHit_ = hit;
        }
        shown_ = true;
        return true;
    }

    void leave(GdkWindow* surface) {
        if (!shown_)
            return;
        gdk_window_set_cursor(surface, pageCursor_);
        if (pageCursor_ != nullptr)
            g_object_unref(pageCursor_);
        pageCursor_ = nullptr;
        shown_ = false;
        shownHit_ = HitClient;
    }

private:
    bool shown_ = false;
    int shownHit_ = HitClient;
    GdkCursor* pageCursor_ = nullptr;
};
BandCursor bandCursor;

gboolean onPageMotion(GtkWidget*, GdkEventMotion* event, gpointer data) {
    auto* window = static_cast<GtkWidget*>(data);
    const int hit =
        hitTestBorderless(static_cast<int>(event->x), static_cast<int>(event->y),
                          gtk_widget_get_allocated_width(window), gtk_widget_get_allocated_height(window));
    return bandCursor.follow(event->window, hit) ? TRUE : FALSE;
}

gboolean onPageLeave(GtkWidget*, GdkEventCrossing* event, gpointer) {
    bandCursor.leave(event->window);
    return FALSE;
}

void onChildAdded(GtkContainer* window, GtkWidget* child, gpointer) {
    gtk_widget_add_events(child, GDK_BUTTON_PRESS_MASK | GDK_POINTER_MOTION_MASK | GDK_LEAVE_NOTIFY_MASK);
    g_signal_connect(child, "button-press-event", G_CALLBACK(onPagePress), window);
    g_signal_connect(child, "motion-notify-event", G_CALLBACK(onPageMotion), window);
    g_signal_connect(child, "leave-notify-event", G_CALLBACK(onPageLeave), window);
}

gboolean onDelete(GtkWidget*, GdkEvent*, gpointer data) {
    closeMainWindow(*static_cast<HostContext*>(data));
    return TRUE;
}

void onDestroy(GtkWidget* window, gpointer data) {
    auto& context = *static_cast<HostContext*>(data);
    if (context.masterHotkeyId != 0) {
        unregisterMasterHotkey(context.masterHotkeyId, context.masterHotkeyKey);
        context.masterHotkeyId = 0;
    }
    if (context.window == window)
        context.window = nullptr;
    gtk_main_quit();
}

bool isIconified(GtkWidget* window) {
    GdkWindow* surface = gtk_widget_get_window(window);
    return surface != nullptr && (gdk_window_get_state(surface) & GDK_WINDOW_STATE_ICONIFIED) != 0;
}

// Lets the window manager's answer to a state request arrive, for at most about two seconds.
void waitForState(GtkWidget* window, bool iconified) {
    for (int i = 0; i < 200 && isIconified(window) != iconified; ++i) {
        while (gtk_events_pending())
            gtk_main_iteration_do(FALSE);
        g_usleep(10000);
    }
}

ClientRect frameOf(GtkWidget* window) {
    GdkWindow* surface = gtk_widget_get_window(window);
    if (surface == nullptr)
        return {};
    GdkRectangle frame{};
    gdk_window_get_frame_extents(surface, &frame);
    return {frame.x, frame.y, frame.x + frame.width, frame.y + frame.height};
}

ClosePromptActions closePromptActions(HostContext& context) {
    ClosePromptActions actions;
    actions.ask = [&context](const ClosePromptContent& content) {
        return askClosePrompt(asWindow(context.window), content);
    };
    actions.closeWindow = [&context] {
        postToMainLoop([&context] { closeMainWindow(context); });
    };
    actions.hideWindow = [&context] {
        if (context.window != nullptr)
            gtk_widget_hide(GTK_WIDGET(context.window));
    };
    actions.warn = [&context](const std::string& text) {
        showMessage(asWindow(context.window), text, false);
    };
    return actions;
}

} // namespace

void postToMainLoop(std::function<void()> work) {
    auto* task = new std::function<void()>(std::move(work));
    g_idle_add_full(
        G_PRIORITY_DEFAULT,
        [](gpointer data) -> gboolean {
            try {
                (*static_cast<std::function<void()>*>(data))();
            } catch (const std::exception&) {
                // Nothing may unwind through the main loop; the work reports its own failures.
            }
            return G_SOURCE_REMOVE;
        },
        task, [](gpointer data) { delete static_cast<std::function<void()>*>(data); });
}

GtkWidget* createMainWindow(HostContext& context) {
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), "Kestrava");
    gtk_window_set_decorated(GTK_WINDOW(window), FALSE);
    gtk_window_set_default_size(GTK_WINDOW(window), mainWindowWidth, mainWindowHeight);
    GdkGeometry limits{};
    limits.min_width = minimumTrackWidth;
    limits.min_height = minimumTrackHeight;
    gtk_window_set_geometry_hints(GTK_WINDOW(window), nullptr, &limits, GDK_HINT_MIN_SIZE);
    gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_CENTER);
    g_signal_connect(window, "add", G_CALLBACK(onChildAdded), nullptr);
    g_signal_connect(window, "delete-event", G_CALLBACK(onDelete), &context);
    g_signal_connect(window, "destroy", G_CALLBACK(onDestroy), &context);
    context.window = window;
    return window;
}

void closeMainWindow(HostContext& context) {
    try {
        if (context.engine)
            context.engine->stop();
        if (context.controller)
            context.controller->close();
    } catch (const std::exception& e) {
        context.log.write(LogLevel::Error, e.what());
    }
    context.webView.reset();
    context.controller.reset();
    if (context.window != nullptr)
        gtk_widget_destroy(GTK_WIDGET(context.window));
}

void installWindowServices(HostContext& context) {
    WindowServices& services = windowServices();
    services.clientRect = [](void* window) {
        auto* widget = GTK_WIDGET(window);
        return ClientRect{0, 0, gtk_widget_get_allocated_width(widget),
                          gtk_widget_get_allocated_height(widget)};
    };
    services.windowRect = [](void* window) {
        return frameOf(GTK_WIDGET(window));
    };
    services.postCloseRequest = [&context](void*) {
        postToMainLoop([&context] { showClosePrompt(context, closePromptActions(context)); });
    };
    services.minimize = [](void* window) {
        gtk_window_iconify(asWindow(window));
    };
    services.beginDrag = [](void* window) {
        if (lastPress) {
            gtk_window_begin_move_drag(asWindow(window), static_cast<gint>(lastPress->button),
                                       lastPress->rootX, lastPress->rootY, lastPress->time);
        }
    };
    services.hitTest = [](void* window, int x, int y) {
        const ClientRect frame = frameOf(GTK_WIDGET(window));
        return hitTestBorderless(x - frame.left, y - frame.top, frame.right - frame.left,
                                 frame.bottom - frame.top);
    };
    services.isMinimized = [](void* window) {
        waitForState(GTK_WIDGET(window), true);
        return isIconified(GTK_WIDGET(window));
    };
    services.restore = [](void* window) {
        gtk_window_deiconify(asWindow(window));
        gtk_window_present(asWindow(window));
        waitForState(GTK_WIDGET(window), false);
    };
    services.postClose = [&context](void*) {
        postToMainLoop([&context] { closeMainWindow(context); });
    };
}

} // namespace kes::gtk
