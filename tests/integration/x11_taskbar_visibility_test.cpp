#include "platform/x11/X11TaskbarVisibility.h"

#include <QTest>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

// After gtest: Xlib's None macro clashes with a gtest type.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <set>
#include <string>

namespace {

// The window's state as another client (a taskbar) reads it.
std::set<std::string> stateOf(WId window)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return {};
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    std::set<std::string> names;
    if (XGetWindowProperty(display, window, XInternAtom(display, "_NET_WM_STATE", False), 0, 1024, False, XA_ATOM,
            &type, &format, &count, &remaining, &data)
            == Success
        && data) {
        const auto* atoms = reinterpret_cast<const Atom*>(data);
        for (unsigned long i = 0; i < count; ++i) {
            char* name = XGetAtomName(display, atoms[i]);
            names.insert(name);
            XFree(name);
        }
    }
    if (data)
        XFree(data);
    XCloseDisplay(display);
    return names;
}

std::string described(WId window)
{
    std::string text;
    for (const std::string& name : stateOf(window))
        text += name + " ";
    return text;
}

bool skipsBoth(WId window)
{
    const std::set<std::string> state = stateOf(window);
    return state.contains("_NET_WM_STATE_SKIP_TASKBAR") && state.contains("_NET_WM_STATE_SKIP_PAGER");
}

bool skipsNeither(WId window)
{
    const std::set<std::string> state = stateOf(window);
    return !state.contains("_NET_WM_STATE_SKIP_TASKBAR") && !state.contains("_NET_WM_STATE_SKIP_PAGER");
}

// Set before the window is first shown, the choice is in the state the
// window manager maps it with; on a shown window the window manager makes
// each change, keeping the states Qt set (stays on top).
TEST(X11TaskbarVisibility, HiddenAndShownWindowsTakeTheChoiceWithTheirOtherStates)
{
    X11TaskbarVisibility taskbar;
    QWidget window(nullptr, Qt::Window | Qt::WindowStaysOnTopHint);
    window.resize(200, 100);
    window.winId();
    taskbar.setSkipsTaskbar(window.windowHandle(), true);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window, 10000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return skipsBoth(window.winId()); }, 10000));
    EXPECT_TRUE(stateOf(window.winId()).contains("_NET_WM_STATE_ABOVE"));

    taskbar.setSkipsTaskbar(window.windowHandle(), false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return skipsNeither(window.winId()); }, 10000)) << described(window.winId());
    EXPECT_TRUE(stateOf(window.winId()).contains("_NET_WM_STATE_ABOVE"));

    taskbar.setSkipsTaskbar(window.windowHandle(), true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return skipsBoth(window.winId()); }, 10000));
}

} // namespace
