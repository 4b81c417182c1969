#pragma once

#include "platform/MicrophonePermission.h"

#include <functional>
#include <vector>

// Holds the request's completion until the test answers it.
class FakeMicrophonePermission final : public MicrophonePermission {
public:
    MicrophoneAuthorization status() const override { return authorization; }
    void requestAccess(std::function<void(bool)> completion) override
    {
        ++requests;
        pending.push_back(std::move(completion));
    }
    // Answers every waiting request; a grant also makes the status authorized.
    void answer(bool granted)
    {
        authorization = granted ? MicrophoneAuthorization::Authorized : MicrophoneAuthorization::Denied;
        auto waiting = std::move(pending);
        pending.clear();
        for (auto& completion : waiting)
            completion(granted);
    }

    MicrophoneAuthorization authorization = MicrophoneAuthorization::Authorized;
    int requests = 0;
    std::vector<std::function<void(bool)>> pending;
};
