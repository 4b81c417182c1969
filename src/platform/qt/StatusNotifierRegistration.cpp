#include "platform/qt/StatusNotifierRegistration.h"

#include "base/Log.h"

#include <algorithm>

StatusNotifierRegistration::StatusNotifierRegistration(Steps givenSteps, StatusNotifierTiming givenTiming)
    : steps(std::move(givenSteps)), timing(givenTiming), nextRetryMs(givenTiming.firstRetryMs)
{
    retry.setSingleShot(true);
    QObject::connect(&retry, &QTimer::timeout, &retry, [this] {
        if (current == State::refused && active)
            offer();
    });
}

void StatusNotifierRegistration::setState(State state)
{
    if (current == state)
        return;
    current = state;
    // What the watcher says now is newer than what a click showed.
    clickedSinceChange = false;
    if (steps.changed)
        steps.changed();
}

void StatusNotifierRegistration::setActive(bool now)
{
    active = now;
    // A host was found, or a pause ended, while the item was inactive.
    if (active && ((current == State::asking && !hostQuestionOut) || (current == State::refused && !retry.isActive())))
        offer();
}

void StatusNotifierRegistration::startOver()
{
    hostQuestionOut = false;
    itemQuestionOut = false;
    clickedSinceChange = false;
    retry.stop();
    nextRetryMs = timing.firstRetryMs;
    busySaid = false;
    refusalSaid = false;
}

void StatusNotifierRegistration::watcherAppeared()
{
    // A new watcher knows nothing of the item.
    startOver();
    setState(State::asking);
    askForHost();
}

void StatusNotifierRegistration::watcherGone()
{
    startOver();
    setState(State::noWatcher);
}

void StatusNotifierRegistration::askForHost()
{
    if (hostQuestionOut)
        return;
    hostQuestionOut = true;
    steps.askForHost();
}

void StatusNotifierRegistration::hostRegistered()
{
    if (current == State::noWatcher)
        return;
    if (current == State::refused) {
        // The host may be what the watcher waited for: offered at once,
        // while a later refusal still waits out the grown pause.
        retry.stop();
        if (active)
            offer();
        return;
    }
    hostFound();
}

void StatusNotifierRegistration::hostUnregistered()
{
    // Other hosts may still show items.
    if (current != State::noWatcher)
        askForHost();
}

void StatusNotifierRegistration::hostAnswered(HostAnswer answer)
{
    hostQuestionOut = false;
    if (current == State::noWatcher)
        return;
    switch (answer) {
    case HostAnswer::unanswered:
        sayBusy();
        askForHost();
        return;
    case HostAnswer::none:
        // A host that comes announces itself; until then there is no one to
        // offer the item to.
        retry.stop();
        setState(State::noHost);
        return;
    case HostAnswer::some:
        hostFound();
        return;
    }
}

void StatusNotifierRegistration::hostFound()
{
    // A refusing watcher that still has a host (one of several went) is
    // offered the item when its pause is over.
    if (current == State::registered || current == State::refused)
        return;
    setState(State::asking);
    if (active)
        offer();
}

void StatusNotifierRegistration::offer()
{
    if (itemQuestionOut)
        return;
    itemQuestionOut = true;
    steps.offerItem();
}

void StatusNotifierRegistration::readRegisteredItems()
{
    itemQuestionOut = true;
    steps.readRegisteredItems();
}

void StatusNotifierRegistration::offerAnswered(OfferAnswer answer, const QString& error)
{
    itemQuestionOut = false;
    if (current == State::noWatcher)
        return;
    switch (answer) {
    case OfferAnswer::taken:
    case OfferAnswer::alreadyRegistered:
        taken();
        return;
    case OfferAnswer::unanswered:
        // The watcher may have taken the item after all, and would refuse a
        // second offer of it.
        sayBusy();
        readRegisteredItems();
        return;
    case OfferAnswer::refused:
        refusedWith(error);
        return;
    }
}

void StatusNotifierRegistration::registeredItemsRead(ListAnswer answer)
{
    itemQuestionOut = false;
    if (current == State::noWatcher)
        return;
    switch (answer) {
    case ListAnswer::listed:
        taken();
        return;
    case ListAnswer::notListed:
        offer();
        return;
    case ListAnswer::unanswered:
        sayBusy();
        readRegisteredItems();
        return;
    }
}

void StatusNotifierRegistration::clickedInHost()
{
    clickedSinceChange = true;
}

void StatusNotifierRegistration::taken()
{
    retry.stop();
    nextRetryMs = timing.firstRetryMs;
    // Without a host the watcher keeps the item for the next one.
    if (current == State::asking || current == State::refused)
        setState(State::registered);
}

void StatusNotifierRegistration::refusedWith(const QString& error)
{
    if (!refusalSaid) {
        refusalSaid = true;
        Log::system(QStringLiteral("[StatusNotifierItem] The StatusNotifierWatcher did not take the tray icon (%1); it "
                                   "is offered again in a while")
                        .arg(error));
    }
    if (current != State::asking && current != State::refused)
        return;
    setState(State::refused);
    retry.start(nextRetryMs);
    nextRetryMs = std::min(nextRetryMs * 2, timing.longestRetryMs);
}

void StatusNotifierRegistration::sayBusy()
{
    if (busySaid)
        return;
    busySaid = true;
    Log::system(QStringLiteral("[StatusNotifierItem] The StatusNotifierWatcher is busy and did not answer in time; "
                               "the tray icon waits for its answer"));
}
