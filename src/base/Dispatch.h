#pragma once

#include <QString>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

// Work queues in the style the controller is written against: one main queue
// (the GUI thread's event loop), concurrent global queues by quality of
// service, and named serial queues with one worker thread each.
namespace Dispatch {

using Work = std::function<void()>;

enum class QoS { UserInteractive, UserInitiated, Default, Utility, Background };

class Queue {
public:
    virtual ~Queue() = default;
    virtual void async(Work work) = 0;
    // Runs `work` on this queue after `seconds`; the delay is measured by a
    // timer on the main event loop.
    void asyncAfter(double seconds, Work work);
};

// The GUI thread. Work posted before the event loop runs waits for it.
Queue& main();
// A concurrent queue backed by a thread pool of its own per quality of service.
Queue& global(QoS qos = QoS::Default);

bool isMainThread();

// Runs `work` on the main thread and waits for it (runs inline when already
// on the main thread).
void mainSync(const Work& work);

class SerialQueue final : public Queue {
public:
    explicit SerialQueue(QString label);
    // Finishes the work already queued, then stops the worker thread.
    ~SerialQueue() override;
    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    void async(Work work) override;
    // Runs `work` on the queue and waits for it; inline when called from the
    // queue itself.
    void sync(const Work& work);
    const QString& label() const { return queueLabel; }
    bool isCurrent() const;

private:
    void run();

    QString queueLabel;
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<Work> pending;
    bool stopping = false;
    std::thread worker;
};

class Semaphore {
public:
    explicit Semaphore(int value = 0) : permits(value) { }
    void signal();
    void wait();
    // False when the timeout passed first.
    bool wait(double timeoutSeconds);

private:
    std::mutex mutex;
    std::condition_variable changed;
    int permits;
};

void sleepFor(double seconds);

// For tests: processes main-queue work until nothing immediate is pending
// (and, with includeDelayed, until every delayed item has fired too).
// Returns false when the timeout ran out first.
bool drainMainQueue(int timeoutMs = 5000, bool includeDelayed = false);

} // namespace Dispatch
