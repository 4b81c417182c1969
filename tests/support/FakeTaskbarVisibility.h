#pragma once

#include "platform/TaskbarVisibility.h"

#include <QHash>
#include <QPointer>
#include <QWindow>

// Remembers the last choice for each window.
class FakeTaskbarVisibility final : public TaskbarVisibility {
public:
    void setSkipsTaskbar(QWindow* window, bool skip) override
    {
        skips.insert(window, skip);
        ++calls;
    }

    // None when the window was never told.
    std::optional<bool> skipsTaskbar(QWindow* window) const
    {
        return skips.contains(window) ? std::optional<bool>(skips.value(window)) : std::nullopt;
    }

    QHash<QWindow*, bool> skips;
    int calls = 0;
};
