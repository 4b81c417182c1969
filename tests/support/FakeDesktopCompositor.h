#pragma once

#include "platform/DesktopCompositor.h"

// Answers what the test sets; counts the questions.
class FakeDesktopCompositor final : public DesktopCompositor {
public:
    bool compositing = true;
    int queries = 0;

    bool isCompositing() override
    {
        ++queries;
        return compositing;
    }
};
