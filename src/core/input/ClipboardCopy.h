#pragma once

#include "base/Dispatch.h"
#include "platform/Pasteboard.h"

#include <QHash>
#include <QStringList>

#include <memory>
#include <mutex>
#include <optional>

// A copy of the user's clipboard, taken before a paste replaces it. The owner
// answers each format in its own time, and every read waits for it on the
// main thread, so the copy reads one format per turn of the main event loop:
// the tray and the windows stay live between answers. Text and images are
// read first; once the budget has passed the remaining formats are left out
// (and named in the log) rather than delay the paste further.
class ClipboardCopy : public std::enable_shared_from_this<ClipboardCopy> {
public:
    ClipboardCopy(std::shared_ptr<Pasteboard> board, double budgetSeconds);

    // Queues the first read on the main thread; callable from any thread.
    void start();
    // The first step has begun on the main thread.
    bool hasStarted() const;
    // Waits until the copy is complete or closed; false on timeout.
    bool waitUntilFinished(double timeoutSeconds);
    // Main thread, right before the clipboard takes our text: reads what is
    // left within the budget at once (the steps never ran when the main
    // thread was busy), then ends the copy. Steps still queued find it closed.
    void finishAndClose();
    // What was read, in the owner's order; nothing when the clipboard could
    // not be read at all or the copy never began.
    std::optional<PasteboardContents> contents() const;

private:
    void step();
    // Lists the formats on the first call, then reads one per call; true
    // while formats remain and the budget allows another read.
    bool readNext();

    std::shared_ptr<Pasteboard> board;
    double budget;
    Dispatch::Semaphore finished;

    mutable std::mutex mutex;
    bool started = false;
    bool closed = false;
    Pasteboard::Clock::time_point deadline;
    std::optional<QStringList> offered;
    QStringList toRead;
    QHash<QString, QByteArray> read;
};
