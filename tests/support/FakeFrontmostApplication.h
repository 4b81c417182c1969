#pragma once

#include "platform/FrontmostApplication.h"

// The active application as the test sets it; activate() plays the desktop
// switching windows.
class FakeFrontmostApplication final : public FrontmostApplication {
public:
    std::optional<int64_t> pid;
    std::optional<ActiveWindowGeometry> geometry;

    std::optional<int64_t> processId() const override { return pid; }
    std::optional<ActiveWindowGeometry> windowGeometry() const override { return geometry; }
    void setChangeHandler(std::function<void()> handler) override { changeHandler = std::move(handler); }

    bool hasChangeHandler() const { return static_cast<bool>(changeHandler); }

    void activate(std::optional<int64_t> processId)
    {
        pid = processId;
        if (changeHandler)
            changeHandler();
    }

private:
    std::function<void()> changeHandler;
};
