#pragma once

#include "platform/FocusSource.h"

#include <memory>

// The keyboard focus from the accessibility bus: one listener for focus
// events of every application, and the focused element's role, states and
// rectangle read on demand. All of it runs on a thread of its own, and each
// question to an application gives up after a short timeout, so an
// application that hangs delays nothing but the answer about itself.
//
// The last focused element is kept even when it reports losing the focus:
// while one of our shortcuts is held, the key grab makes toolkits drop the
// focused state of the field the text is meant for.
class AtspiFocusSource final : public FocusSource {
public:
    // Without an accessibility bus yet, it is looked for again every
    // `reconnectIntervalMs`.
    explicit AtspiFocusSource(int callTimeoutMs = 500, int reconnectIntervalMs = 10000);
    ~AtspiFocusSource() override;
    AtspiFocusSource(const AtspiFocusSource&) = delete;
    AtspiFocusSource& operator=(const AtspiFocusSource&) = delete;

    std::optional<FocusedElement> cachedFocus() const override;
    void refresh(Reply reply) override;
    void setChangeHandler(std::function<void()> handler) override;

    // True once focus events are subscribed (the bus is reached on the
    // worker thread after construction, or later once it comes).
    bool isListening() const;

private:
    class Worker;
    struct Delivery;

    std::shared_ptr<Delivery> delivery;
    std::unique_ptr<Worker> worker;
};
