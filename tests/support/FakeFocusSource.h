#pragma once

#include "platform/FocusSource.h"

#include <vector>

// A focus source driven by the test: `focus` is what the accessibility
// service would say; questions wait in `pending` until answerAll() (as an
// application answering later would), and focusMoved() plays a focus event.
class FakeFocusSource final : public FocusSource {
public:
    std::optional<FocusedElement> focus;
    std::vector<Reply> pending;
    int refreshCount = 0;

    std::optional<FocusedElement> cachedFocus() const override { return focus; }
    void refresh(Reply reply) override
    {
        ++refreshCount;
        pending.push_back(std::move(reply));
    }
    void setChangeHandler(std::function<void()> handler) override { changeHandler = std::move(handler); }

    bool hasChangeHandler() const { return static_cast<bool>(changeHandler); }

    // Answers every waiting question with the current focus.
    void answerAll()
    {
        std::vector<Reply> replies;
        replies.swap(pending);
        for (Reply& reply : replies)
            reply(focus);
    }

    void focusMoved(std::optional<FocusedElement> element)
    {
        focus = std::move(element);
        if (changeHandler)
            changeHandler();
    }

private:
    std::function<void()> changeHandler;
};
