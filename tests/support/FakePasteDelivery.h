#pragma once

#include "base/Dispatch.h"
#include "platform/PasteDelivery.h"
#include "support/UnsharedCopy.h"

#include <QList>

#include <array>
#include <atomic>
#include <mutex>

// Records the texts owed to the focused program and lets a test play that
// program asking for one.
class FakePasteDelivery final : public PasteDelivery {
public:
    struct Delivery {
        QString text;
        bool withPrimary = false;
        bool operator==(const Delivery&) const = default;
    };

    // Test controls.
    // The focused program asks for the text of `selection`.
    void simulateFetch(Selection selection)
    {
        FetchLog& log = logs[static_cast<size_t>(selection)];
        log.last.store(Clock::now().time_since_epoch().count());
        log.count.fetch_add(1);
    }

    // Observations.
    QList<Delivery> deliveries() const
    {
        std::lock_guard lock(mutex);
        return unsharedCopy(made);
    }
    int withdrawals() const { return withdrawn.load(); }
    int callsOffMainThread() const { return offMain.load(); }

    // PasteDelivery
    bool deliver(const QString& text, bool withPrimary) override
    {
        if (!Dispatch::isMainThread())
            ++offMain;
        std::lock_guard lock(mutex);
        made.append({text, withPrimary});
        return true;
    }
    void withdraw() override
    {
        if (!Dispatch::isMainThread())
            ++offMain;
        ++withdrawn;
    }
    uint64_t fetchCount(Selection selection) const override { return logs[static_cast<size_t>(selection)].count; }
    Clock::time_point lastFetchTime(Selection selection) const override
    {
        return Clock::time_point(Clock::duration(logs[static_cast<size_t>(selection)].last.load()));
    }

private:
    struct FetchLog {
        std::atomic<uint64_t> count{0};
        std::atomic<Clock::rep> last{0};
    };

    mutable std::mutex mutex;
    QList<Delivery> made;
    std::atomic<int> withdrawn{0};
    std::atomic<int> offMain{0};
    std::array<FetchLog, 2> logs;
};
