#pragma once

#include "base/Dispatch.h"
#include "platform/Pasteboard.h"

#include <QStringList>

#include <atomic>
#include <mutex>

// An in-memory clipboard. It records what the paste sequence did to it and
// lets a test play the target application that fetches the pasted text.
class FakePasteboard final : public Pasteboard {
public:
    explicit FakePasteboard(std::optional<PasteboardContents> contents = PasteboardContents{})
        : storedContents(std::move(contents))
    {
    }

    // Test controls.
    void setReadable(bool readable)
    {
        std::lock_guard lock(mutex);
        contentsReadable = readable;
    }
    void setRefusesText(bool refuses)
    {
        std::lock_guard lock(mutex);
        refusesText = refuses;
    }
    // Copying the contents takes this long (a large image, say).
    void setSnapshotDelay(double seconds) { snapshotDelay = seconds; }
    // Another application copies something.
    void replaceContents(const PasteboardContents& contents)
    {
        std::lock_guard lock(mutex);
        storedContents = contents;
        holdsPasted = false;
    }
    // The target asks for the pasted text.
    void simulateFetch()
    {
        lastFetch.store(Clock::now().time_since_epoch().count());
        fetches.fetch_add(1);
    }

    // Observations.
    std::optional<PasteboardContents> contents() const
    {
        std::lock_guard lock(mutex);
        return storedContents;
    }
    QString text() const
    {
        std::lock_guard lock(mutex);
        if (!storedContents)
            return {};
        for (const auto& [format, bytes] : *storedContents)
            if (format == QLatin1String("text/plain"))
                return QString::fromUtf8(bytes);
        return {};
    }
    QList<std::optional<PasteboardContents>> snapshotsTaken() const
    {
        std::lock_guard lock(mutex);
        return snapshots;
    }
    QStringList textsSet() const
    {
        std::lock_guard lock(mutex);
        return recordedTexts;
    }
    int restoreCount() const
    {
        std::lock_guard lock(mutex);
        return restores;
    }
    int callsOffMainThread() const { return offMain.load(); }

    // Pasteboard
    std::optional<PasteboardContents> snapshot() override
    {
        noteThread();
        Dispatch::sleepFor(snapshotDelay.load());
        std::lock_guard lock(mutex);
        std::optional<PasteboardContents> taken;
        if (contentsReadable)
            taken = storedContents.value_or(PasteboardContents{});
        snapshots.append(taken);
        return taken;
    }
    bool setText(const QString& text) override
    {
        noteThread();
        std::lock_guard lock(mutex);
        recordedTexts.append(text);
        if (refusesText)
            return false;
        storedContents = PasteboardContents{{QStringLiteral("text/plain"), text.toUtf8()}};
        holdsPasted = true;
        return true;
    }
    bool holdsPastedText() override
    {
        noteThread();
        std::lock_guard lock(mutex);
        return holdsPasted;
    }
    void restore(const PasteboardContents& contents) override
    {
        noteThread();
        std::lock_guard lock(mutex);
        storedContents = contents;
        holdsPasted = false;
        ++restores;
    }
    uint64_t fetchCount() const override { return fetches.load(); }
    Clock::time_point lastFetchTime() const override { return Clock::time_point(Clock::duration(lastFetch.load())); }

private:
    void noteThread()
    {
        if (!Dispatch::isMainThread())
            ++offMain;
    }

    mutable std::mutex mutex;
    std::optional<PasteboardContents> storedContents;
    bool contentsReadable = true;
    bool refusesText = false;
    bool holdsPasted = false;
    QList<std::optional<PasteboardContents>> snapshots;
    QStringList recordedTexts;
    int restores = 0;
    std::atomic<int> offMain{0};
    std::atomic<double> snapshotDelay{0.0};
    std::atomic<uint64_t> fetches{0};
    std::atomic<Clock::rep> lastFetch{0};
};
