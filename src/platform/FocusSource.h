#pragma once

#include <QRectF>

#include <cstdint>
#include <functional>
#include <optional>

// What kind of element has the keyboard focus, as far as typing into it goes.
// `unreadable` means the element did not say (it failed to answer).
enum class FocusRole { unreadable, entry, passwordText, text, paragraph, documentText, comboBox, other };

// The element that has the keyboard focus, as the accessibility service last
// described it. Rectangles are screen coordinates (origin at the top left of
// the whole desktop, y growing downwards) as the application reports them:
// device pixels for most, but the toolkit's own logical pixels for a scaled
// one (GDK_SCALE, QT_SCALE_FACTOR, Xft.dpi). `windowBounds`, in the same
// pixels, is what tells them apart once set against the window's real size.
struct FocusedElement {
    // Changes whenever the focus moves to another element.
    uint64_t elementId = 0;
    int64_t processId = 0;
    FocusRole role = FocusRole::unreadable;
    // None when the element's states could not be read.
    std::optional<bool> editable;
    // None when the element gave no usable rectangle.
    std::optional<QRectF> bounds;
    // Whether the element named a parent, and that parent's rectangle if it
    // gave one.
    bool hasParent = false;
    std::optional<QRectF> parentBounds;
    // The rectangle of the top-level window that holds the element, if it
    // gave one.
    std::optional<QRectF> windowBounds;
};

// The desktop's keyboard focus, kept current by focus events. Events keep
// arriving while other applications hang: every question to an application
// is bounded by a short timeout, off the calling thread.
class FocusSource {
public:
    using Reply = std::function<void(const std::optional<FocusedElement>&)>;

    virtual ~FocusSource() = default;

    // The focused element as last read; never waits for an application.
    // None before any element was seen to take the focus.
    virtual std::optional<FocusedElement> cachedFocus() const = 0;

    // Reads the focused element afresh (its rectangle may have moved) and
    // hands the answer to `reply` on the main thread. Every request is
    // answered, with none when the element no longer answers in time.
    virtual void refresh(Reply reply) = 0;

    // Called on the main thread whenever the focus moved to another element.
    // One handler at a time; an empty function removes it.
    virtual void setChangeHandler(std::function<void()> handler) = 0;
};
