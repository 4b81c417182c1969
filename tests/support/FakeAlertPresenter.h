#pragma once

#include "platform/AlertPresenter.h"

#include <deque>
#include <functional>
#include <vector>

// Records every alert and answers at once with a scripted button.
class FakeAlertPresenter final : public AlertPresenter {
public:
    int runModal(const Alert& alert) override
    {
        if (stopped)
            return -1;
        shown.push_back(alert);
        if (whileShown)
            whileShown(alert);
        if (responses.empty())
            return defaultResponse;
        const int response = responses.front();
        responses.pop_front();
        return response;
    }

    void stopPresenting() override { stopped = true; }

    std::vector<Alert> shown;
    bool stopped = false;
    std::deque<int> responses;
    int defaultResponse = 0;
    // Runs while the alert is up, as events of its nested loop would.
    std::function<void(const Alert&)> whileShown;
};
