#pragma once

#include "platform/FocusSource.h"

#include <QRectF>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class FrontmostApplication;

// The text field that has the keyboard focus in another application.
struct FocusedField {
    uint64_t elementId = 0;
    int64_t processId = 0;
    // Qt's screen coordinates: top-left origin, logical pixels.
    QRectF bounds;
};

// Follows the focused text field of the frontmost application and reports
// its rectangle: when one is first found, whenever the rectangle moves or
// resizes by the threshold or more, and once with none when the focus leaves
// text inputs. Our own process is never tracked.
//
// Everything runs on the main thread. Questions to applications go through
// the focus source, which answers asynchronously, so a hung application never
// blocks the caller; answers that belong to an earlier observation are
// dropped.
class FocusFieldDetector {
public:
    using Handler = std::function<void(const std::optional<FocusedField>&)>;
    // Runs `work` on the main thread after `seconds`.
    using Scheduler = std::function<void(double seconds, std::function<void()> work)>;

    static constexpr double debounceInterval = 0.05;
    static constexpr double pollInterval = 1.0;
    // A change smaller than this in every edge and size is no change.
    static constexpr double changeThreshold = 5.0;

    // Without a scheduler the main queue's timers are used; `ownProcessId`
    // defaults to this process. Without a focus source (a desktop with no
    // accessibility service) no field is ever found; without the frontmost
    // application every focused field counts.
    FocusFieldDetector(std::shared_ptr<FocusSource> source, std::shared_ptr<FrontmostApplication> frontmost,
        Scheduler scheduler = {}, std::optional<int64_t> ownProcessId = std::nullopt);
    ~FocusFieldDetector();
    FocusFieldDetector(const FocusFieldDetector&) = delete;
    FocusFieldDetector& operator=(const FocusFieldDetector&) = delete;

    // Starts afresh (a running observation is stopped first); the field that
    // has the focus now is reported soon after. The handler runs on the main
    // thread.
    void startObserving(Handler handler);
    // Nothing is reported after this returns; harmless when not observing.
    void stopObserving();
    bool isCurrentlyObserving() const;

    // The focused field as the focus source last saw it; never waits and
    // changes nothing. Works whether observing or not.
    std::optional<FocusedField> getCurrentFocusedField() const;

    // The rules, exposed for tests.
    static bool isTextInputField(const FocusedElement& element);
    // The rectangle to report for a text input, from an element in Qt's
    // logical pixels (DevicePixels::inLogicalPixels): small ones take their
    // parent's rectangle or grow around their centre. None without a usable
    // rectangle.
    static std::optional<QRectF> fieldBounds(const FocusedElement& element);
    static bool boundsAreSimilar(const QRectF& a, const QRectF& b);

private:
    struct State;
    struct Steps;
    std::shared_ptr<State> state;
};
