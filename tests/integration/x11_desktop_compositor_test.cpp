#include "platform/x11/X11DesktopCompositor.h"

#include <QGuiApplication>
#include <QRegion>
#include <QWindow>

#include <gtest/gtest.h>

// After gtest: Xlib's None macro clashes with a gtest type.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <xcb/xcb.h>

#include <cstdlib>

#include <string>
#include <vector>

namespace {

// Compositing is seen exactly while some client owns the screen's
// compositing-manager selection.
TEST(X11DesktopCompositor, FollowsTheOwnerOfTheCompositingSelection)
{
    X11DesktopCompositor compositor;
    ASSERT_FALSE(compositor.isCompositing()) << "the test display already runs a compositing manager";

    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    const std::string name = "_NET_WM_CM_S" + std::to_string(DefaultScreen(display));
    const Window owner = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    XSetSelectionOwner(display, XInternAtom(display, name.c_str(), False), owner, CurrentTime);
    XSync(display, False);
    EXPECT_TRUE(compositor.isCompositing());

    XDestroyWindow(display, owner);
    XSync(display, False);
    EXPECT_FALSE(compositor.isCompositing());
    XCloseDisplay(display);
}

// The blur is seen while a compositor runs and the root window carries the
// property KWin's blur effect announces itself by (as KWin 5.27 does: empty,
// of its own type); a window asks for it by the rectangles of its region.
TEST(X11DesktopCompositor, SeesTheAnnouncedBlurAndListsTheRegionToBlur)
{
    X11DesktopCompositor compositor;
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    const Window root = DefaultRootWindow(display);
    const Atom blur = XInternAtom(display, "_KDE_NET_WM_BLUR_BEHIND_REGION", False);
    XChangeProperty(display, root, blur, blur, 8, PropModeReplace, nullptr, 0);
    XSync(display, False);
    EXPECT_FALSE(compositor.blursBehindWindows()) << "a property left without a compositor";

    const std::string name = "_NET_WM_CM_S" + std::to_string(DefaultScreen(display));
    const Window owner = XCreateSimpleWindow(display, root, 0, 0, 1, 1, 0, 0, 0);
    XSetSelectionOwner(display, XInternAtom(display, name.c_str(), False), owner, CurrentTime);
    XSync(display, False);
    EXPECT_TRUE(compositor.blursBehindWindows());
    XDeleteProperty(display, root, blur);
    XSync(display, False);
    EXPECT_FALSE(compositor.blursBehindWindows());
    XDestroyWindow(display, owner);

    QWindow window;
    window.resize(100, 60);
    window.create();
    // A round trip on Qt's connection, which wrote the property, before
    // reading it on ours.
    xcb_connection_t* qt = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
    const auto read = [&] {
        std::free(xcb_get_input_focus_reply(qt, xcb_get_input_focus(qt), nullptr));
        Atom type = 0;
        int format = 0;
        unsigned long count = 0;
        unsigned long after = 0;
        unsigned char* data = nullptr;
        std::vector<long> values;
        if (XGetWindowProperty(
                display, window.winId(), blur, 0, 64, False, XA_CARDINAL, &type, &format, &count, &after, &data)
                == Success
            && data) {
            const auto* longs = reinterpret_cast<const long*>(data);
            values.assign(longs, longs + count);
            XFree(data);
        }
        return values;
    };
    compositor.setBlurBehind(&window, QRegion(0, 4, 100, 52) + QRegion(4, 0, 92, 60));
    const std::vector<long> rects = read();
    ASSERT_EQ(rects.size() % 4, 0u);
    QRegion listed;
    for (size_t i = 0; i + 3 < rects.size(); i += 4)
        listed += QRect(static_cast<int>(rects[i]), static_cast<int>(rects[i + 1]), static_cast<int>(rects[i + 2]),
            static_cast<int>(rects[i + 3]));
    EXPECT_EQ(listed, QRegion(0, 4, 100, 52) + QRegion(4, 0, 92, 60));
    compositor.setBlurBehind(&window, QRegion());
    EXPECT_TRUE(read().empty());
    XCloseDisplay(display);
}

} // namespace
