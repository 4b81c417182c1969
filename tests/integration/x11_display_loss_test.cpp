#include "platform/x11/X11DisplayLoss.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QRegularExpression>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

// After gtest: Xlib's None macro clashes with a gtest type.
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Qt's own Xlib work on its display (a cursor, GL) can be what finds the
// server gone. Xlib sends nothing more after that, and Qt, going on, would
// crash once Xlib's buffer is full: the quit runs to its end in that call.
// The child, this test program run again, leaves no temporary folder behind.
TEST(X11DisplayLossOnTheDesktop, QtsDisplayFoundBrokenByQtsOwnWorkEndsInPlace)
{
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    ASSERT_TRUE(x11 && x11->display()) << "needs the private test session";
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    std::string childOutput;
    const auto keepOutput = [&childOutput](const std::string& output) {
        childOutput = output;
        return true;
    };
    EXPECT_EXIT(
        {
            std::fprintf(stderr, "config home: %s\n", std::getenv("XDG_CONFIG_HOME"));
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
        ::testing::ExitedWithCode(0),
        ::testing::AllOf(
            ::testing::ContainsRegex("\\[X11DisplayLoss\\] The connection to the X server broke; quitting"),
            ::testing::Truly(keepOutput)));

    const auto childConfig = QRegularExpression("config home: (.*)").match(QString::fromStdString(childOutput));
    ASSERT_TRUE(childConfig.hasMatch()) << childOutput;
    const QString childHome = QFileInfo(childConfig.captured(1)).absolutePath();
    const QString ownHome = QFileInfo(qEnvironmentVariable("XDG_CONFIG_HOME")).absolutePath();
    EXPECT_TRUE(childHome == ownHome || !QFileInfo::exists(childHome))
        << "the child left its temporary home " << childHome.toStdString();
}

} // namespace
