#include "base/NotificationCenter.h"

#include <gtest/gtest.h>

TEST(NotificationCenter, DeliversByNameWithItsSenderUntilRemoved)
{
    NotificationCenter center;
    QStringList seen;
    QList<const void*> senders;
    const auto token = center.addObserver("A", [&](const Notification& n) {
        seen << n.userInfo.value("text").toString();
        senders << n.object;
    });
    center.addObserver("B", [&](const Notification&) { seen << "wrong"; });
    const int sender = 0;
    center.post("A", {{"text", "one"}}, &sender);
    center.post("A", {{"text", "anonymous"}});
    center.removeObserver(token);
    center.post("A", {{"text", "two"}});
    EXPECT_EQ(seen, QStringList({"one", "anonymous"}));
    EXPECT_EQ(senders, (QList<const void*>{&sender, nullptr}));
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
