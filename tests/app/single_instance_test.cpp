#include "app/SingleInstance.h"
#include "support/Patience.h"

#include <QCoreApplication>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// A later claim in the same folder reaches the holder, whose request waits
// until it accepts requests; a socket file a killed run left behind is no
// obstacle; without a folder the start goes on unchecked.
TEST(SingleInstanceTest, ALaterClaimAsksTheHolderToShowItself)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    QFile leftover(folder.filePath("tallowind.socket"));
    ASSERT_TRUE(leftover.open(QIODevice::WriteOnly));
    leftover.close();

    SingleInstance holder(folder.path());
    ASSERT_EQ(holder.claim(), SingleInstance::Claim::first);
    EXPECT_TRUE(holder.problem().isEmpty()) << holder.problem().toStdString();
    QSignalSpy shown(&holder, &SingleInstance::showRequested);

    SingleInstance later(folder.path());
    EXPECT_EQ(later.claim(), SingleInstance::Claim::alreadyRunning) << later.problem().toStdString();
    EXPECT_EQ(later.holder(), QCoreApplication::applicationPid());
    holder.acceptRequests();
    ASSERT_TRUE(shown.count() == 1 || shown.wait(Patience::reply));
    EXPECT_EQ(shown.count(), 1);

    SingleInstance unplaced(QString{});
    EXPECT_EQ(unplaced.claim(), SingleInstance::Claim::unchecked);
}
