#pragma once

#include "settings/models/TaskbarPresence.h"
#include "shell/windows/ActivationPolicy.h"

#include <QPointer>

// The taskbar switch as the controller's activation policy: shown is the
// regular policy, hidden the accessory one. Does nothing once the policy
// is gone.
class PolicyTaskbarPresence final : public TaskbarPresence {
public:
    explicit PolicyTaskbarPresence(ActivationPolicy& activationPolicy) : policy(&activationPolicy) { }

    void setShowsTaskbarEntry(bool show) override
    {
        if (policy)
            policy->setPolicy(show ? ActivationPolicy::Policy::regular : ActivationPolicy::Policy::accessory);
    }

private:
    QPointer<ActivationPolicy> policy;
};
