#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <vector>

// A clock the test moves by hand: delayed work runs, in order, only when the
// test advances past its time.
class ManualClock {
public:
    std::function<void(double, std::function<void()>)> scheduler()
    {
        return [this](double seconds, std::function<void()> work) {
            items.push_back({now + seconds, nextSequence++, std::move(work)});
        };
    }

    void advance(double seconds)
    {
        const double end = now + seconds;
        for (;;) {
            auto due = std::min_element(items.begin(), items.end(), [](const Item& a, const Item& b) {
                return a.time < b.time || (a.time == b.time && a.sequence < b.sequence);
            });
            if (due == items.end() || due->time > end + 1e-9)
                break;
            now = std::max(now, due->time);
            std::function<void()> work = std::move(due->work);
            items.erase(due);
            work();
        }
        now = end;
    }

    double now = 0;

private:
    struct Item {
        double time;
        uint64_t sequence;
        std::function<void()> work;
    };
    std::vector<Item> items;
    uint64_t nextSequence = 0;
};
