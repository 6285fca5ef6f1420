// Reports the pointer's current shape and, given a file name, saves a picture of the whole screen with the
// pointer drawn where it is (screen captures leave the pointer out). Prints one line:
// "cursor NAME WIDTHxHEIGHT DIGEST", where NAME is the shape's name ("-" when it has none) and DIGEST a
// checksum of its pixels, so that two shapes can be told apart whatever the cursor theme draws.
#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>
#include <gdk/gdk.h>
#include <gdk/gdkx.h>

#include <cstdint>
#include <cstdio>

namespace {

// The cursor image as a pixbuf; XFixes gives premultiplied ARGB, one pixel per unsigned long.
GdkPixbuf* cursorPicture(const XFixesCursorImage& image) {
    GdkPixbuf* picture = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, image.width, image.height);
    guchar* pixels = gdk_pixbuf_get_pixels(picture);
    const int stride = gdk_pixbuf_get_rowstride(picture);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const auto argb = static_cast<std::uint32_t>(image.pixels[y * image.width + x]);
            const unsigned alpha = argb >> 24;
            guchar* out = pixels + y * stride + x * 4;
            for (int channel = 0; channel < 3; ++channel) {
                const unsigned value = (argb >> (16 - 8 * channel)) & 0xFF;
                out[channel] = static_cast<guchar>(alpha == 0 ? 0 : value * 255 / alpha);
            }
            out[3] = static_cast<guchar>(alpha);
        }
    }
    return picture;
}

} // namespace

int main(int argc, char** argv) {
    gdk_init(&argc, &argv);
    GdkDisplay* display = gdk_display_get_default();
    if (display == nullptr || !GDK_IS_X11_DISPLAY(display)) {
        std::fprintf(stderr, "no X display\n");
        return 1;
    }
    Display* xdisplay = GDK_DISPLAY_XDISPLAY(display);
    int event = 0, error = 0;
    if (!XFixesQueryExtension(xdisplay, &event, &error)) {
        std::fprintf(stderr, "no XFixes\n");
        return 1;
    }
    XFixesCursorImage* image = XFixesGetCursorImage(xdisplay);
    if (image == nullptr) {
        std::fprintf(stderr, "no cursor image\n");
        return 1;
    }
    std::uint32_t digest = 2166136261u;
    for (int i = 0; i < image->width * image->height; ++i)
        digest = (digest ^ static_cast<std::uint32_t>(image->pixels[i])) * 16777619u;
    std::printf("cursor %s %ux%u %08x\n", image->name != nullptr && *image->name != '\0' ? image->name : "-",
                image->width, image->height, digest);

    int status = 0;
    if (argc > 1) {
        GdkWindow* root = gdk_get_default_root_window();
        GdkPixbuf* screen =
            gdk_pixbuf_get_from_window(root, 0, 0, gdk_window_get_width(root), gdk_window_get_height(root));
        GdkPixbuf* pointer = cursorPicture(*image);
        const int left = image->x - image->xhot, top = image->y - image->yhot;
        const int screenWidth = gdk_pixbuf_get_width(screen), screenHeight = gdk_pixbuf_get_height(screen);
        const int x0 = left < 0 ? 0 : left, y0 = top < 0 ? 0 : top;
        const int x1 = left + image->width > screenWidth ? screenWidth : left + image->width;
        const int y1 = top + image->height > screenHeight ? screenHeight : top + image->height;
        if (x1 > x0 && y1 > y0)
            gdk_pixbuf_composite(pointer, screen, x0, y0, x1 - x0, y1 - y0, left, top, 1.0, 1.0,
                                 GDK_INTERP_NEAREST, 255);
        if (!gdk_pixbuf_save(screen, argv[1], "png", nullptr, nullptr)) {
            std::fprintf(stderr, "cannot save %s\n", argv[1]);
            status = 1;
        }
        g_object_unref(pointer);
        g_object_unref(screen);
    }
    XFree(image);
    return status;
}
