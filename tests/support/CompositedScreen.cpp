#include "support/CompositedScreen.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xcomposite.h>

QImage compositedScreen(const QRect& area)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return {};
    const Window root = DefaultRootWindow(display);
    // The compositor's own overlay: asking for it shares it, releasing it
    // leaves it to the compositor.
    const Window overlay = XCompositeGetOverlayWindow(display, root);
    XImage* pixels = XGetImage(display, overlay, area.x(), area.y(), static_cast<unsigned>(area.width()),
        static_cast<unsigned>(area.height()), AllPlanes, ZPixmap);
    QImage picture;
    if (pixels) {
        picture = QImage(area.size(), QImage::Format_RGB32);
        for (int y = 0; y < area.height(); ++y)
            for (int x = 0; x < area.width(); ++x)
                picture.setPixel(x, y, static_cast<QRgb>(XGetPixel(pixels, x, y)) | 0xff000000u);
        XDestroyImage(pixels);
    }
    XCompositeReleaseOverlayWindow(display, root);
    XCloseDisplay(display);
    return picture;
}
