#include "platform/x11/X11DisplayLoss.h"

#include <QGuiApplication>

#include <gtest/gtest.h>

// After gtest: Xlib's None macro clashes with a gtest type.
#include <X11/Xlib.h>

#include <cstdlib>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Qt's own Xlib work on its display (a cursor, GL) can be what finds the
// server gone. Xlib sends nothing more after that, and Qt, going on, would
// crash once Xlib's buffer is full: the quit runs to its end in that call.
TEST(X11DisplayLossOnTheDesktop, QtsDisplayFoundBrokenByQtsOwnWorkEndsInPlace)
{
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    ASSERT_TRUE(x11 && x11->display()) << "needs the private test session";
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            Display* display = x11->display();
            X11DisplayLoss::install([] {}, [] { std::_Exit(0); });
            // The server closes its end; Qt's next Xlib request finds it.
            int ends[2];
            if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0
                || dup3(ends[0], ConnectionNumber(display), O_CLOEXEC) < 0)
                std::_Exit(2);
            close(ends[1]);
            XSync(display, False);
            std::_Exit(1);
        },
        ::testing::ExitedWithCode(0), "\\[X11DisplayLoss\\] The connection to the X server broke; quitting");
}

} // namespace
