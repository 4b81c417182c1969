#pragma once

#include "platform/AlertPresenter.h"

class QtAlertPresenter final : public AlertPresenter {
public:
    int runModal(const Alert& alert) override;
};
