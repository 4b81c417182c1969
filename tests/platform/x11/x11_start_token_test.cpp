#include "platform/x11/X11StartToken.h"

#include <gtest/gtest.h>

// Launchers put the time of the click after "_TIME"; a misread time would
// make the window's request to come forward older than the click.
TEST(X11StartToken, TheTimeIsReadFromTheLastTimePartOfTheId)
{
    EXPECT_EQ(X11StartToken::timeIn("launcher-1234-host-app-0_TIME5678"), 5678u);
    EXPECT_EQ(X11StartToken::timeIn("app_TIME1_TIME42"), 42u);
    EXPECT_EQ(X11StartToken::timeIn("app_TIME42-more"), 42u);
    EXPECT_EQ(X11StartToken::timeIn("launcher-1234-host-app-0"), 0u);
    EXPECT_EQ(X11StartToken::timeIn("app_TIME4294967296"), 0u) << "past the server clock's range";

    // A launcher's time is used as it is, without asking the server.
    const ActivationToken token = X11StartToken::forThisStart("menu-7_TIME99");
    EXPECT_EQ(token.startupId, "menu-7_TIME99");
    EXPECT_EQ(token.time, 99u);
}
