#pragma once

// Looks for a newer release of the tool. Nothing here ever blocks the
// caller: the feed is read in the background and the outcome is shown by the
// updater itself.
class Updater {
public:
    virtual ~Updater() = default;
    // Starts the scheduled checks: the user is asked once whether to check
    // automatically; with a yes, a check runs once a day. Called once, at
    // start-up.
    virtual void start() = 0;
    // A check the user asked for: its outcome is shown, failures included.
    virtual void checkForUpdates() = 0;
    // The application quits: no check starts any more, and the outcome of
    // one under way is dropped.
    virtual void stop() = 0;
};
