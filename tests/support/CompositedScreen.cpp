#include "support/CompositedScreen.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xcomposite.h>

#include <string>

namespace {

QImage picture(Display* display, Window window, const QRect& area)
{
    XImage* pixels = XGetImage(display, window, area.x(), area.y(), static_cast<unsigned>(area.width()),
        static_cast<unsigned>(area.height()), AllPlanes, ZPixmap);
    QImage picture;
    if (pixels) {
        picture = QImage(area.size(), QImage::Format_RGB32);
        for (int y = 0; y < area.height(); ++y)
            for (int x = 0; x < area.width(); ++x)
                picture.setPixel(x, y, static_cast<QRgb>(XGetPixel(pixels, x, y)) | 0xff000000u);
        XDestroyImage(pixels);
    }
    return picture;
}

} // namespace

QImage compositedScreen(const QRect& area)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return {};
    const Window root = DefaultRootWindow(display);
    // The compositor's own overlay: asking for it shares it, releasing it
    // leaves it to the compositor.
    const Window overlay = XCompositeGetOverlayWindow(display, root);
    const QImage shown = picture(display, overlay, area);
    XCompositeReleaseOverlayWindow(display, root);
    XCloseDisplay(display);
    return shown;
}

QImage shownScreen(const QRect& area)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return {};
    const std::string name = "_NET_WM_CM_S" + std::to_string(DefaultScreen(display));
    const bool composited = XGetSelectionOwner(display, XInternAtom(display, name.c_str(), False)) != None;
    const QImage shown = composited ? compositedScreen(area) : picture(display, DefaultRootWindow(display), area);
    XCloseDisplay(display);
    return shown;
}
