#pragma once

#include "platform/Updater.h"

// Counts what the controller asks of the updater.
class FakeUpdater final : public Updater {
public:
    void start() override { ++starts; }
    void checkForUpdates() override { ++checks; }
    void stop() override { stopped = true; }

    int starts = 0;
    int checks = 0;
    bool stopped = false;
};
