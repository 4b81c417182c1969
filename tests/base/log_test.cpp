#include "base/Log.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

// Sinks belong to objects that go right after removing them (a test's log
// capture on the stack): a line from another thread must never reach a sink
// whose removal has returned.
TEST(LogTest, NoLineReachesASinkOnceItsRemovalReturned)
{
    using namespace std::chrono_literals;
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        while (!stop) {
            Log::out(QStringLiteral("a line from a worker"));
            std::this_thread::sleep_for(200us);
        }
    });

    std::atomic<int> lateCalls{0};
    for (int round = 0; round < 40; ++round) {
        auto removed = std::make_shared<std::atomic<bool>>(false);
        const int id = Log::addSink([removed, &lateCalls](Log::Stream, const QString&) {
            // A slow sink, so that removals meet calls under way.
            std::this_thread::sleep_for(1ms);
            if (*removed)
                ++lateCalls;
        });
        std::this_thread::sleep_for(2ms);
        Log::removeSink(id);
        *removed = true;
    }
    stop = true;
    writer.join();
    EXPECT_EQ(lateCalls.load(), 0);
}
