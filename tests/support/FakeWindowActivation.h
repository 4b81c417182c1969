#pragma once

#include "platform/WindowActivation.h"

#include <QPointer>
#include <QWindow>

#include <vector>

// Remembers each activation, in order.
class FakeWindowActivation final : public WindowActivation {
public:
    struct Activation {
        QPointer<QWindow> window;
        ActivationToken token;
    };

    void activate(QWindow* window, const ActivationToken& token) override { activations.push_back({window, token}); }

    std::vector<Activation> activations;
};
