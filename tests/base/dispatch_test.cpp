#include "base/Dispatch.h"

#include <gtest/gtest.h>

#include <QThread>

#include <atomic>
#include <vector>

TEST(Dispatch, MainQueueRunsOnGuiThreadInOrder)
{
    std::vector<int> order;
    std::atomic<bool> onMain{true};
    std::thread poster([&] {
        for (int i = 0; i < 50; ++i)
            Dispatch::main().async([&, i] {
                onMain = onMain && Dispatch::isMainThread();
                order.push_back(i);
            });
    });
    poster.join();
    ASSERT_TRUE(Dispatch::drainMainQueue());
    ASSERT_EQ(order.size(), 50u);
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(order[i], i);
    EXPECT_TRUE(onMain);
}

TEST(Dispatch, DelayedWorkFiresAfterItsDelayAndDrainWaitsForIt)
{
    QElapsedTimer clock;
    clock.start();
    qint64 firedAfter = -1;
    Dispatch::main().asyncAfter(0.05, [&] { firedAfter = clock.elapsed(); });
    ASSERT_TRUE(Dispatch::drainMainQueue(5000, true));
    EXPECT_GE(firedAfter, 45);
}

TEST(Dispatch, SerialQueueRunsOneItemAtATimeInOrder)
{
    Dispatch::SerialQueue queue("com.tallowind.test");
    std::atomic<int> running{0};
    std::atomic<int> maxRunning{0};
    std::vector<int> order;
    for (int i = 0; i < 20; ++i)
        queue.async([&, i] {
            const int now = ++running;
            maxRunning = std::max(maxRunning.load(), now);
            Dispatch::sleepFor(0.001);
            order.push_back(i);
            --running;
        });
    queue.sync([] {});
    EXPECT_EQ(maxRunning.load(), 1);
    ASSERT_EQ(order.size(), 20u);
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(order[i], i);
}

TEST(Dispatch, SerialQueueSyncFromItselfRunsInline)
{
    Dispatch::SerialQueue queue("com.tallowind.inline");
    bool ran = false;
    queue.sync([&] { queue.sync([&] { ran = queue.isCurrent(); }); });
    EXPECT_TRUE(ran);
}

TEST(Dispatch, DestroyingSerialQueueFinishesQueuedWork)
{
    std::atomic<int> done{0};
    {
        Dispatch::SerialQueue queue("com.tallowind.drain");
        for (int i = 0; i < 10; ++i)
            queue.async([&] { ++done; });
    }
    EXPECT_EQ(done.load(), 10);
}

TEST(Dispatch, SemaphoreTimesOutAndSignals)
{
    Dispatch::Semaphore semaphore;
    EXPECT_FALSE(semaphore.wait(0.01));
    Dispatch::global(Dispatch::QoS::UserInitiated).async([&] { semaphore.signal(); });
    EXPECT_TRUE(semaphore.wait(5.0));
}

// SerialQueue::sync and mainSync destroy their semaphore as soon as wait()
// returns, so signal() must be done with the object by then. Freeing it here
// right after the wait lets ThreadSanitizer see a late notify as a race with
// the free (AddressSanitizer cannot: the notify runs inside libc).
TEST(Dispatch, SemaphoreMayBeDestroyedAsSoonAsItsWaiterReturns)
{
    constexpr int rounds = 20000;
    std::atomic<Dispatch::Semaphore*> handedOver{nullptr};
    std::thread signaller([&] {
        for (int i = 0; i < rounds; ++i) {
            Dispatch::Semaphore* semaphore = nullptr;
            while (!(semaphore = handedOver.exchange(nullptr)))
                std::this_thread::yield();
            semaphore->signal();
        }
    });
    for (int i = 0; i < rounds; ++i) {
        auto* semaphore = new Dispatch::Semaphore;
        handedOver = semaphore;
        semaphore->wait();
        delete semaphore;
    }
    signaller.join();
}

TEST(Dispatch, SerialQueueSyncFromAnotherThreadReturnsEveryTime)
{
    Dispatch::SerialQueue queue(QStringLiteral("sync-stress"));
    std::atomic<int> ran{0};
    std::vector<std::thread> callers;
    for (int t = 0; t < 4; ++t)
        callers.emplace_back([&] {
            for (int i = 0; i < 2000; ++i)
                queue.sync([&] { ++ran; });
        });
    for (auto& caller : callers)
        caller.join();
    EXPECT_EQ(ran, 8000);
}

TEST(Dispatch, MainSyncFromWorkerWaitsForTheMainThread)
{
    std::atomic<bool> done{false};
    bool ranOnMain = false;
    std::thread worker([&] {
        Dispatch::mainSync([&] { ranOnMain = Dispatch::isMainThread(); });
        done = true;
    });
    while (!done)
        Dispatch::drainMainQueue(10);
    worker.join();
    EXPECT_TRUE(ranOnMain);
}
