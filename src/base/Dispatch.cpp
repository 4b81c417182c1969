#include "base/Dispatch.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEvent>
#include <QMetaObject>
#include <QRunnable>
#include <QThread>
#include <QThreadPool>
#include <QTimer>

#include <array>
#include <atomic>
#include <chrono>
#include <mutex>

namespace Dispatch {
namespace {

std::atomic<int> pendingImmediate{0};
std::atomic<int> pendingDelayed{0};

// Work crosses threads inside Qt's event and thread-pool queues, whose
// locks ThreadSanitizer cannot see (Qt is not instrumented). Every item is
// published with a release once fully built, and the receiving side
// acquires before it touches the item, so the hand-off is visible.
std::atomic<uint64_t> handOffs{0};

void receiveHandOffs()
{
    handOffs.load(std::memory_order_acquire);
}

class HandedWork {
public:
    explicit HandedWork(Work handed) : work(std::move(handed)) { handOffs.fetch_add(1, std::memory_order_release); }
    // Work that never ran (the application ended first) is released where it
    // was received, which must see it built too.
    ~HandedWork() { receiveHandOffs(); }
    HandedWork(const HandedWork&) = delete;
    HandedWork& operator=(const HandedWork&) = delete;
    void run()
    {
        receiveHandOffs();
        work();
    }

private:
    Work work;
};

class WorkEvent final : public QEvent {
public:
    explicit WorkEvent(Work work) : QEvent(workType()), item(std::move(work)) { }
    static QEvent::Type workType()
    {
        static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }
    void run() { item.run(); }

private:
    HandedWork item;
};

// Receives the main queue's work on the GUI thread.
class MainReceiver final : public QObject {
public:
    bool event(QEvent* event) override
    {
        receiveHandOffs();
        if (event->type() != WorkEvent::workType())
            return QObject::event(event);
        static_cast<WorkEvent*>(event)->run();
        --pendingImmediate;
        return true;
    }
};

QObject* mainReceiver(const QCoreApplication& app)
{
    static std::mutex mutex;
    static MainReceiver* receiver = nullptr;
    std::lock_guard lock(mutex);
    if (!receiver) {
        receiver = new MainReceiver;
        receiver->moveToThread(app.thread());
    }
    return receiver;
}

class MainQueue final : public Queue {
public:
    void async(Work work) override
    {
        ++pendingImmediate;
        QCoreApplication* app = QCoreApplication::instance();
        if (!app) {
            // No event loop to run it: nothing would ever execute the work.
            --pendingImmediate;
            return;
        }
        QCoreApplication::postEvent(mainReceiver(*app), new WorkEvent(std::move(work)));
    }
};

class WorkRunnable final : public QRunnable {
public:
    explicit WorkRunnable(Work work) : item(std::move(work)) { }
    void run() override { item.run(); }

private:
    HandedWork item;
};

class GlobalQueue final : public Queue {
public:
    GlobalQueue() { pool.setMaxThreadCount(std::max(4, QThread::idealThreadCount())); }
    void async(Work work) override { pool.start(new WorkRunnable(std::move(work))); }

private:
    QThreadPool pool;
};

thread_local const SerialQueue* currentSerialQueue = nullptr;

} // namespace

void Queue::asyncAfter(double seconds, Work work)
{
    ++pendingDelayed;
    const int ms = std::max(0, static_cast<int>(seconds * 1000.0 + 0.5));
    Queue* target = this;
    main().async([target, ms, work = std::move(work)]() mutable {
        QTimer::singleShot(ms, QCoreApplication::instance(), [target, work = std::move(work)]() mutable {
            target->async(std::move(work));
            --pendingDelayed;
        });
    });
}

Queue& main()
{
    static MainQueue queue;
    return queue;
}

Queue& global(QoS qos)
{
    static std::array<GlobalQueue, 5> queues;
    return queues[static_cast<size_t>(qos)];
}

bool isMainThread()
{
    const QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

void mainSync(const Work& work)
{
    if (isMainThread()) {
        work();
        return;
    }
    Semaphore done;
    main().async([&] {
        work();
        done.signal();
    });
    done.wait();
}

SerialQueue::SerialQueue(QString label) : queueLabel(std::move(label)), worker([this] { run(); }) { }

SerialQueue::~SerialQueue()
{
    {
        std::lock_guard lock(mutex);
        stopping = true;
    }
    wake.notify_all();
    if (worker.get_id() == std::this_thread::get_id())
        worker.detach();
    else
        worker.join();
}

void SerialQueue::async(Work work)
{
    {
        std::lock_guard lock(mutex);
        pending.push_back(std::move(work));
    }
    wake.notify_one();
}

void SerialQueue::sync(const Work& work)
{
    if (isCurrent()) {
        work();
        return;
    }
    Semaphore done;
    async([&] {
        work();
        done.signal();
    });
    done.wait();
}

bool SerialQueue::isCurrent() const
{
    return currentSerialQueue == this;
}

void SerialQueue::run()
{
    currentSerialQueue = this;
    for (;;) {
        Work work;
        {
            std::unique_lock lock(mutex);
            wake.wait(lock, [this] { return stopping || !pending.empty(); });
            if (pending.empty())
                return;
            work = std::move(pending.front());
            pending.pop_front();
        }
        work();
    }
}

void Semaphore::signal()
{
    // Notify before unlocking: a waiter may destroy the semaphore as soon as
    // it can take the lock and see the count (SerialQueue::sync and mainSync
    // keep theirs on the stack), so signal() must not touch it after that.
    std::lock_guard lock(mutex);
    ++permits;
    changed.notify_one();
}

void Semaphore::wait()
{
    std::unique_lock lock(mutex);
    changed.wait(lock, [this] { return permits > 0; });
    --permits;
}

bool Semaphore::wait(double timeoutSeconds)
{
    std::unique_lock lock(mutex);
    const auto timeout = std::chrono::duration<double>(std::max(0.0, timeoutSeconds));
    if (!changed.wait_for(lock, timeout, [this] { return permits > 0; }))
        return false;
    --permits;
    return true;
}

void sleepFor(double seconds)
{
    std::this_thread::sleep_for(std::chrono::duration<double>(std::max(0.0, seconds)));
}

bool drainMainQueue(int timeoutMs, bool includeDelayed)
{
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QCoreApplication::sendPostedEvents();
        const bool idle = pendingImmediate.load() == 0 && (!includeDelayed || pendingDelayed.load() == 0);
        if (idle)
            return true;
        if (deadline.hasExpired())
            return false;
        if (pendingImmediate.load() == 0)
            QThread::msleep(1);
    }
}

} // namespace Dispatch
