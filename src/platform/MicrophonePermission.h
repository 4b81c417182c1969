#pragma once

#include <functional>

enum class MicrophoneAuthorization { NotDetermined, Restricted, Denied, Authorized };

// Whether the application may record. The answer of a request may arrive on
// any thread.
class MicrophonePermission {
public:
    virtual ~MicrophonePermission() = default;
    virtual MicrophoneAuthorization status() const = 0;
    virtual void requestAccess(std::function<void(bool granted)> completion) = 0;
};

// Linux desktops have no per-application microphone permission.
class AlwaysAuthorizedMicrophone final : public MicrophonePermission {
public:
    MicrophoneAuthorization status() const override { return MicrophoneAuthorization::Authorized; }
    void requestAccess(std::function<void(bool)> completion) override
    {
        if (completion)
            completion(true);
    }
};
