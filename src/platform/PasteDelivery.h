#pragma once

#include <QString>

#include <chrono>
#include <cstdint>

// Hands a paste's text to the program the paste was sent to, however late
// it asks and whatever time its request carries, while every other program
// is answered from the clipboard as before. A program that is busy when the
// chord arrives, or whose input method dates its requests back, would
// otherwise get the user's earlier clipboard, or nothing.
class PasteDelivery {
public:
    using Clock = std::chrono::steady_clock;
    enum class Selection { clipboard, primary };

    virtual ~PasteDelivery() = default;

    // Main thread, once `text` is on CLIPBOARD (and on PRIMARY with
    // `withPrimary`): from now on the program with the keyboard focus gets
    // `text` from those selections until it has taken it or a bound has
    // passed; a delivery still open ends here. False when no other program
    // has the focus: nothing is owed then.
    virtual bool deliver(const QString& text, bool withPrimary) = 0;
    // Main thread: no chord went out for the text delivered last; nothing
    // is owed any more.
    virtual void withdraw() = 0;

    // How often that program has been handed the text of `selection`, and
    // when it last was. Callable from any thread.
    virtual uint64_t fetchCount(Selection selection) const = 0;
    virtual Clock::time_point lastFetchTime(Selection selection) const = 0;
};
