#pragma once

#include "platform/AlertPresenter.h"

class QtAlertPresenter final : public AlertPresenter {
public:
    // Wide enough for a short sentence on one or two lines.
    static constexpr int minimumWidth = 420;

    int runModal(const Alert& alert) override;
    void stopPresenting() override { stopped = true; }

private:
    bool stopped = false;
};
