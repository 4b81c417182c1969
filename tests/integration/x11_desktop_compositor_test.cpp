#include "platform/x11/X11DesktopCompositor.h"

#include <gtest/gtest.h>

// After gtest: Xlib's None macro clashes with a gtest type.
#include <X11/Xlib.h>

#include <string>

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

} // namespace
