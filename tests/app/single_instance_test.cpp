// Starts of one user played in one process: a second start's claim runs on
// a thread of its own, blocking as it does in its own process, while the
// first answers from its event loop.
#include "app/SingleInstance.h"

#include "support/EventLoop.h"
#include "support/Patience.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

struct SecondStart {
    SingleInstance::Claim claim = SingleInstance::Claim::unchecked;
    qint64 holder = 0;
    QString holderDisplay;
};

SecondStart startAgain(const QString& folder, const ActivationToken& token)
{
    SecondStart result;
    std::atomic<bool> done = false;
    std::thread start([&] {
        SingleInstance second(folder);
        result.claim = second.claim([&] { return token; });
        result.holder = second.holder();
        result.holderDisplay = second.holderDisplay();
        done = true;
    });
    EXPECT_TRUE(pumpUntil([&] { return done.load(); }, Patience::reply)) << "the second start did not end";
    start.join();
    return result;
}

} // namespace

TEST(SingleInstance, ASecondStartHandsOnItsTokenAndNamesTheProcessThatAnsweredAndItsDisplay)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    SingleInstance first(folder.path(), ":1");
    int tokensTaken = 0;
    ASSERT_EQ(first.claim([&] {
        ++tokensTaken;
        return ActivationToken{};
    }),
        SingleInstance::Claim::first);
    EXPECT_EQ(tokensTaken, 0) << "the first start asks the X server nothing";
    std::vector<ActivationToken> requests;
    QObject::connect(
        &first, &SingleInstance::showRequested, [&](const ActivationToken& token) { requests.push_back(token); });
    // The lock names another process, as one left by an ended run does
    // while a start racing this one takes it over.
    QFile lock(QDir(folder.path()).filePath("tallowind.lock"));
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly | QIODevice::Truncate));
    lock.write(QByteArray::number(QCoreApplication::applicationPid() + 100000) + "\ntallowind\nhost\n");
    lock.close();

    const ActivationToken launched{"launcher on host 12_TIME4242", 4242};
    const SecondStart second = startAgain(folder.path(), launched);
    EXPECT_EQ(second.claim, SingleInstance::Claim::alreadyRunning);
    EXPECT_EQ(second.holder, QCoreApplication::applicationPid());
    EXPECT_EQ(second.holderDisplay, ":1");
    EXPECT_TRUE(requests.empty()) << "held until the first has launched";
    first.acceptRequests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0], launched);
    // Started without a launcher: only the time the start took.
    EXPECT_EQ(startAgain(folder.path(), {{}, 5000}).claim, SingleInstance::Claim::alreadyRunning);
    ASSERT_TRUE(pumpUntil([&] { return requests.size() == 2; }, Patience::reply));
    EXPECT_EQ(requests[1], (ActivationToken{{}, 5000}));

    // A bare request still shows the window and is answered; a line that
    // never ends is not kept.
    QLocalSocket bare;
    bare.connectToServer(QDir(folder.path()).filePath("tallowind.socket"));
    bare.write("show\n");
    ASSERT_TRUE(pumpUntil([&] { return bare.canReadLine(); }, Patience::reply));
    EXPECT_EQ(bare.readLine(), QByteArray::number(QCoreApplication::applicationPid()) + " :1\n");
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_TRUE(requests[2].isEmpty());
    bare.write(QByteArray(2000, 'x'));
    EXPECT_TRUE(pumpUntil([&] { return bare.state() == QLocalSocket::UnconnectedState; }, Patience::reply));
    EXPECT_EQ(requests.size(), 3u);
}

// A Tallowind started before holders named their display answers with its
// process id alone.
TEST(SingleInstance, AnAnswerWithoutADisplayStillNamesTheProcess)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    QLockFile lock(QDir(folder.path()).filePath("tallowind.lock"));
    ASSERT_TRUE(lock.tryLock(0));
    QLocalServer older;
    ASSERT_TRUE(older.listen(QDir(folder.path()).filePath("tallowind.socket")));
    QObject::connect(&older, &QLocalServer::newConnection, [&] {
        QLocalSocket* socket = older.nextPendingConnection();
        const auto answer = [socket] {
            if (socket->canReadLine() && socket->readLine() == "show\n")
                socket->write("4242\n");
        };
        QObject::connect(socket, &QLocalSocket::readyRead, socket, answer);
        answer();
    });

    const SecondStart second = startAgain(folder.path(), {});
    EXPECT_EQ(second.claim, SingleInstance::Claim::alreadyRunning);
    EXPECT_EQ(second.holder, 4242);
    EXPECT_TRUE(second.holderDisplay.isEmpty());
}

// A quitting Tallowind gives the lock and the socket up before it winds up:
// a start then is the user's Tallowind, also one whose request the quitting
// one read no more.
TEST(SingleInstance, AStartAfterTheHolderGaveUpIsTheFirst)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    SingleInstance first(folder.path(), ":1");
    ASSERT_EQ(first.claim(), SingleInstance::Claim::first);
    first.acceptRequests();
    int requests = 0;
    QObject::connect(&first, &SingleInstance::showRequested, [&] { ++requests; });

    // This thread turns no events: the start's request waits unread until
    // the holder gives up.
    std::atomic<bool> asking = false;
    std::atomic<bool> done = false;
    SingleInstance::Claim claim = SingleInstance::Claim::unchecked;
    std::thread start([&] {
        SingleInstance second(folder.path());
        claim = second.claim([&] {
            asking = true;
            return ActivationToken{};
        });
        done = true;
    });
    while (!asking)
        std::this_thread::yield();
    first.giveUp();
    EXPECT_TRUE(pumpUntil([&] { return done.load(); }, Patience::reply)) << "the start did not end";
    start.join();
    EXPECT_EQ(claim, SingleInstance::Claim::first);
    EXPECT_EQ(requests, 0);
}
