#pragma once

#include <QString>
#include <QTimer>

#include <functional>

// How long the item waits on the watcher, and how it backs off from one that
// refuses it. Tests shorten them.
struct StatusNotifierTiming {
    // A call's limit; -1 is the bus's own (25 s).
    int callTimeoutMs = -1;
    // The pause before the first new offer to a watcher that refused; each
    // refusal doubles it, up to the longest.
    int firstRetryMs = 2'000;
    int longestRetryMs = 4 * 60'000;
};

// Where the tray icon stands with the desktop's StatusNotifierWatcher: the
// one state of the tray, and the steps that move it on. It makes no call of
// its own: it asks its owner to send them and is told their answers. At
// most one question about the host and one about the item are out at a time.
// Main thread only.
class StatusNotifierRegistration {
public:
    enum class State {
        // No watcher runs: no host of this kind for certain.
        noWatcher,
        // A watcher runs, and whether the item is in a host is not settled:
        // the watcher has yet to say whether a host shows items, or to take
        // the item (not offered while inactive).
        asking,
        // The watcher says no host shows items.
        noHost,
        // A host shows items and the watcher has the item: it is in a panel.
        registered,
        // A host shows items, but the watcher refused the item; it is
        // offered again after a pause.
        refused,
    };
    enum class HostAnswer { some, none, unanswered };
    enum class OfferAnswer { taken, alreadyRegistered, unanswered, refused };
    enum class ListAnswer { listed, notListed, unanswered };

    // What the owner sends to the watcher, and how it hears of changes.
    struct Steps {
        // IsStatusNotifierHostRegistered.
        std::function<void()> askForHost;
        // RegisterStatusNotifierItem.
        std::function<void()> offerItem;
        // RegisteredStatusNotifierItems.
        std::function<void()> readRegisteredItems;
        // state() changed.
        std::function<void()> changed;
    };

    StatusNotifierRegistration(Steps steps, StatusNotifierTiming timing = {});

    State state() const { return current; }
    // While active the item is offered to every watcher with a host.
    void setActive(bool active);
    bool isActive() const { return active; }
    // The pause before the next offer to a refusing watcher; 0 when none is
    // due.
    int retryDelayMs() const { return retry.isActive() ? retry.interval() : 0; }

    // A watcher appeared (or another took its place), or it went away.
    void watcherAppeared();
    void watcherGone();
    // The watcher's StatusNotifierHostRegistered and ...Unregistered.
    void hostRegistered();
    void hostUnregistered();
    void hostAnswered(HostAnswer answer);
    // `error` names a refusal.
    void offerAnswered(OfferAnswer answer, const QString& error = {});
    void registeredItemsRead(ListAnswer answer);
    // A host clicked the item: it shows it, whatever the watcher said. The
    // state stays as the watcher last put it, so the item is still offered
    // (or the watcher's list read) once the watcher answers.
    void clickedInHost();
    // The item is in a panel: the watcher has it, or a host clicked it since
    // the state last changed (a panel that still shows the item of a watcher
    // gone, restarted or yet to answer).
    bool isShownInHost() const { return current == State::registered || clickedSinceChange; }

private:
    void setState(State state);
    void askForHost();
    void hostFound();
    void offer();
    void readRegisteredItems();
    void taken();
    void refusedWith(const QString& error);
    void sayBusy();
    // Forgets what the previous watcher was told and said.
    void startOver();

    Steps steps;
    StatusNotifierTiming timing;
    State current = State::noWatcher;
    bool active = false;
    bool hostQuestionOut = false;
    bool itemQuestionOut = false;
    bool clickedSinceChange = false;
    QTimer retry;
    int nextRetryMs = 0;
    // One line of each kind per watcher.
    bool busySaid = false;
    bool refusalSaid = false;
};
