#pragma once

#include "platform/DesktopCompositor.h"

#include <functional>

// Answers what the test sets; counts the questions. announce() tells the
// handler the answer may have changed, as a compositor starting would.
class FakeDesktopCompositor final : public DesktopCompositor {
public:
    bool compositing = true;
    int queries = 0;

    bool isCompositing() override
    {
        ++queries;
        return compositing;
    }

    void setChangeHandler(std::function<void()> value) override { handler = std::move(value); }

    void announce()
    {
        if (handler)
            handler();
    }

private:
    std::function<void()> handler;
};
