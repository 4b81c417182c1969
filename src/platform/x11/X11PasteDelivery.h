#pragma once

#include "platform/PasteDelivery.h"

#include <QAbstractNativeEventFilter>
#include <QTimer>

#include <array>
#include <atomic>
#include <chrono>
#include <memory>
#include <optional>

class X11TextAnswer;
struct xcb_connection_t;

// Answers the requests of the program a paste went to on Qt's own X
// connection, before Qt's clipboard sees them. Qt refuses a request dated
// before it took the selection, and once the user's clipboard is back it
// would hand that out instead; so while a text is owed, that program's
// requests for the selections the text went to are answered here with the
// text, whatever their time. Every other program's requests go on to Qt.
// A program is told by the client its window ids belong to: the one that
// owns the focused window when the text is set. Main thread, but for the
// fetch counters.
class X11PasteDelivery final : public PasteDelivery, private QAbstractNativeEventFilter {
public:
    struct Bounds {
        // A program busy for this long still gets its text.
        std::chrono::milliseconds wait{30'000};
        // Once the program has taken the text, its requests are Qt's again
        // (its user's own pastes included) as soon as the clipboard changes,
        // the user's contents coming back, or after this long: a program
        // that asks late may ask for a second format right after the first.
        std::chrono::milliseconds settle{500};
    };

    explicit X11PasteDelivery(Bounds bounds);
    X11PasteDelivery() : X11PasteDelivery(Bounds{}) { }
    ~X11PasteDelivery() override;
    X11PasteDelivery(const X11PasteDelivery&) = delete;
    X11PasteDelivery& operator=(const X11PasteDelivery&) = delete;

    bool deliver(const QString& text, bool withPrimary) override;
    void withdraw() override { close(); }
    uint64_t fetchCount(Selection selection) const override;
    Clock::time_point lastFetchTime(Selection selection) const override;

    // A text is owed now.
    bool owes() const { return owed.has_value(); }

private:
    struct Owed {
        uint32_t client = 0;
        QString text;
        bool withPrimary = false;
        bool taken = false;
    };
    struct FetchLog {
        std::atomic<uint64_t> count{0};
        std::atomic<Clock::rep> lastTicks{0};
    };

    bool attach();
    std::optional<uint32_t> focusedClient() const;
    uint32_t clientOf(uint32_t window) const;
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;
    // Ends what is owed; `why` names a text never asked for in the log.
    void close(const QString& why = {});

    Bounds bounds;
    xcb_connection_t* connection = nullptr;
    uint32_t clipboardAtom = 0;
    std::unique_ptr<X11TextAnswer> answers;
    std::optional<Owed> owed;
    QTimer waitTimer;
    QTimer settleTimer;
    std::array<FetchLog, 2> fetches;
};
