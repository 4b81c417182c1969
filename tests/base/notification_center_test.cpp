#include "base/NotificationCenter.h"

#include <gtest/gtest.h>

TEST(NotificationCenter, DeliversByNameUntilRemoved)
{
    NotificationCenter center;
    QStringList seen;
    const auto token =
        center.addObserver("A", [&](const Notification& n) { seen << n.userInfo.value("text").toString(); });
    center.addObserver("B", [&](const Notification&) { seen << "wrong"; });
    center.post("A", {{"text", "one"}});
    center.removeObserver(token);
    center.post("A", {{"text", "two"}});
    EXPECT_EQ(seen, QStringList{"one"});
}

TEST(NotificationCenter, ObserverMayRemoveItselfWhileRunning)
{
    NotificationCenter center;
    int calls = 0;
    NotificationCenter::Token token = 0;
    token = center.addObserver("X", [&](const Notification&) {
        ++calls;
        center.removeObserver(token);
    });
    center.post("X");
    center.post("X");
    EXPECT_EQ(calls, 1);
}

TEST(NotificationCenter, ScopedObservationEndsWithItsScope)
{
    NotificationCenter center;
    int calls = 0;
    {
        NotificationObservation observation(
            "Y", [&](const Notification&) { ++calls; }, center);
        center.post("Y");
    }
    center.post("Y");
    EXPECT_EQ(calls, 1);
}
