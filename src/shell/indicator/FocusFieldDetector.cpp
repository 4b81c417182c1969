#include "shell/indicator/FocusFieldDetector.h"

#include "base/Dispatch.h"
#include "platform/FrontmostApplication.h"
#include "shell/indicator/DevicePixels.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>

namespace {

// A text field narrower or shorter than this is likely the inner editor of a
// larger control, so the control's rectangle is used when it is not huge.
constexpr double smallWidth = 50;
constexpr double smallHeight = 20;
constexpr double largestParentWidth = 800;
constexpr double largestParentHeight = 200;
// Without a parent, a small field is grown around its centre to this size.
constexpr double grownWidth = 120;
constexpr double grownHeight = 28;

// Hidden or unrealised elements report empty rectangles; there is nothing to
// place an indicator next to.
std::optional<QRectF> usable(const std::optional<QRectF>& rect)
{
    if (!rect || !(rect->width() > 0) || !(rect->height() > 0))
        return std::nullopt;
    return rect;
}

} // namespace

struct FocusFieldDetector::State {
    std::shared_ptr<FocusSource> source;
    std::shared_ptr<FrontmostApplication> frontmost;
    Scheduler scheduler;
    int64_t ownProcessId = 0;

    Handler handler;
    bool observing = false;
    // Bumped by every start and stop, so late answers and timers of an
    // earlier observation are recognised and dropped.
    uint64_t observation = 0;
    uint64_t debounceTicket = 0;
    bool refreshInFlight = false;
    bool checkAgain = false;
    bool fieldReported = false;
    std::optional<QRectF> lastReportedBounds;

    std::optional<FocusedField> evaluate(const std::optional<FocusedElement>& element) const
    {
        const std::optional<int64_t> front = frontmost ? frontmost->processId() : std::nullopt;
        if (front && *front == ownProcessId)
            return std::nullopt;
        if (!element || element->processId == ownProcessId)
            return std::nullopt;
        // The cache may still hold the focus of an application left behind
        // for one that exposes nothing.
        if (front && element->processId != *front)
            return std::nullopt;
        if (!isTextInputField(*element))
            return std::nullopt;
        // The field is in the active window, whose real size tells the
        // scale of a scaled toolkit's pixels.
        const FocusedElement placed = DevicePixels::inLogicalPixels(
            *element, frontmost ? frontmost->windowGeometry() : std::nullopt, DevicePixels::desktopScreens());
        const std::optional<QRectF> bounds = fieldBounds(placed);
        if (!bounds)
            return std::nullopt;
        return FocusedField{element->elementId, element->processId, *bounds};
    }
};

// The steps work on the shared state so that timers and answers can hold it
// weakly; a detector that is gone is simply not found.
struct FocusFieldDetector::Steps {
    using StatePtr = std::shared_ptr<State>;
    using WeakState = std::weak_ptr<State>;

    static void answer(const StatePtr& state, const std::optional<FocusedElement>& element)
    {
        state->refreshInFlight = false;
        const std::optional<FocusedField> field = state->evaluate(element);

        bool report = false;
        if (field) {
            if (!state->lastReportedBounds
                || !FocusFieldDetector::boundsAreSimilar(field->bounds, *state->lastReportedBounds)) {
                state->fieldReported = true;
                state->lastReportedBounds = field->bounds;
                report = true;
            }
        } else if (state->fieldReported) {
            state->fieldReported = false;
            state->lastReportedBounds.reset();
            report = true;
        }

        if (state->checkAgain) {
            state->checkAgain = false;
            check(state);
        }
        // Last, because the handler may stop or restart the observation.
        if (report && state->handler) {
            const FocusFieldDetector::Handler handler = state->handler;
            handler(field);
        }
    }

    static void check(const StatePtr& state)
    {
        if (!state->observing)
            return;
        // One question at a time: a hung application must not pile them up.
        if (state->refreshInFlight) {
            state->checkAgain = true;
            return;
        }
        if (!state->source)
            return;
        state->refreshInFlight = true;
        const uint64_t observation = state->observation;
        WeakState weak = state;
        state->source->refresh([weak, observation](const std::optional<FocusedElement>& element) {
            const StatePtr current = weak.lock();
            if (current && current->observing && current->observation == observation)
                answer(current, element);
        });
    }

    static void debounce(const StatePtr& state)
    {
        if (!state->observing)
            return;
        const uint64_t ticket = ++state->debounceTicket;
        const uint64_t observation = state->observation;
        WeakState weak = state;
        state->scheduler(FocusFieldDetector::debounceInterval, [weak, ticket, observation] {
            const StatePtr current = weak.lock();
            if (current && current->observing && current->observation == observation
                && current->debounceTicket == ticket)
                check(current);
        });
    }

    static void schedulePoll(const StatePtr& state)
    {
        const uint64_t observation = state->observation;
        WeakState weak = state;
        state->scheduler(FocusFieldDetector::pollInterval, [weak, observation] {
            const StatePtr current = weak.lock();
            if (!current || !current->observing || current->observation != observation)
                return;
            check(current);
            schedulePoll(current);
        });
    }
};

FocusFieldDetector::FocusFieldDetector(std::shared_ptr<FocusSource> source,
    std::shared_ptr<FrontmostApplication> frontmost, Scheduler scheduler, std::optional<int64_t> ownProcessId)
    : state(std::make_shared<State>())
{
    state->source = std::move(source);
    state->frontmost = std::move(frontmost);
    state->scheduler = scheduler ? std::move(scheduler) : Scheduler([](double seconds, std::function<void()> work) {
        Dispatch::main().asyncAfter(seconds, std::move(work));
    });
    state->ownProcessId = ownProcessId.value_or(QCoreApplication::applicationPid());
}

FocusFieldDetector::~FocusFieldDetector()
{
    stopObserving();
}

void FocusFieldDetector::startObserving(Handler handler)
{
    stopObserving();
    state->handler = std::move(handler);
    state->observing = true;
    ++state->observation;

    std::weak_ptr<State> weak = state;
    if (state->source) {
        state->source->setChangeHandler([weak] {
            if (const auto current = weak.lock())
                FocusFieldDetector::Steps::debounce(current);
        });
    }
    if (state->frontmost) {
        // Another application in front is checked at once, as an
        // activation is.
        state->frontmost->setChangeHandler([weak] {
            if (const auto current = weak.lock())
                FocusFieldDetector::Steps::check(current);
        });
    }
    FocusFieldDetector::Steps::check(state);
    FocusFieldDetector::Steps::schedulePoll(state);
}

void FocusFieldDetector::stopObserving()
{
    if (!state->observing)
        return;
    state->observing = false;
    ++state->observation;
    if (state->source)
        state->source->setChangeHandler({});
    if (state->frontmost)
        state->frontmost->setChangeHandler({});
    state->refreshInFlight = false;
    state->checkAgain = false;
    state->handler = nullptr;
    state->fieldReported = false;
    state->lastReportedBounds.reset();
}

bool FocusFieldDetector::isCurrentlyObserving() const
{
    return state->observing;
}

std::optional<FocusedField> FocusFieldDetector::getCurrentFocusedField() const
{
    return state->source ? state->evaluate(state->source->cachedFocus()) : std::nullopt;
}

bool FocusFieldDetector::isTextInputField(const FocusedElement& element)
{
    switch (element.role) {
    case FocusRole::unreadable:
        return false;
    case FocusRole::entry:
    case FocusRole::passwordText:
    case FocusRole::text:
    case FocusRole::paragraph:
    case FocusRole::documentText:
    case FocusRole::comboBox:
        return true;
    case FocusRole::other:
        return element.editable.value_or(false);
    }
    return false;
}

std::optional<QRectF> FocusFieldDetector::fieldBounds(const FocusedElement& element)
{
    std::optional<QRectF> bounds = usable(element.bounds);
    if (!bounds)
        return std::nullopt;
    QRectF rect = *bounds;
    if (rect.width() >= smallWidth && rect.height() >= smallHeight)
        return rect;
    if (element.hasParent) {
        const std::optional<QRectF> parent = usable(element.parentBounds);
        if (parent && parent->width() < largestParentWidth && parent->height() < largestParentHeight)
            return *parent;
        return rect;
    }
    const double width = std::max(rect.width(), grownWidth);
    const double height = std::max(rect.height(), grownHeight);
    return QRectF(rect.x() - (width - rect.width()) / 2, rect.y() - (height - rect.height()) / 2, width, height);
}

bool FocusFieldDetector::boundsAreSimilar(const QRectF& a, const QRectF& b)
{
    return std::abs(a.x() - b.x()) < changeThreshold && std::abs(a.y() - b.y()) < changeThreshold
        && std::abs(a.width() - b.width()) < changeThreshold && std::abs(a.height() - b.height()) < changeThreshold;
}
