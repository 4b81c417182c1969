#pragma once

#include "support/UnsharedCopy.h"
#include "base/Dispatch.h"
#include "platform/Pasteboard.h"

#include <QHash>
#include <QStringList>

#include <atomic>
#include <functional>
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
    // Handing over one format takes this long (a large image, say); with a
    // format named, only that one is slow.
    void setReadDelay(double seconds, const QString& format = {})
    {
        std::lock_guard lock(mutex);
        if (format.isEmpty())
            readDelay = seconds;
        else
            formatDelays.insert(format, seconds);
    }
    // Called on each read, before the data is handed over.
    void setOnRead(std::function<void(const QString&)> hook)
    {
        std::lock_guard lock(mutex);
        onRead = std::move(hook);
    }
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
    // How often a copy of the contents began.
    int copiesStarted() const
    {
        std::lock_guard lock(mutex);
        return listings;
    }
    // Reads that got our own pasted text back instead of the user's data.
    int readsOfPastedText() const
    {
        std::lock_guard lock(mutex);
        return ownTextReads;
    }
    QStringList textsSet() const
    {
        std::lock_guard lock(mutex);
        return unsharedCopy(recordedTexts);
    }
    int restoreCount() const
    {
        std::lock_guard lock(mutex);
        return restores;
    }
    int callsOffMainThread() const { return offMain.load(); }

    // Pasteboard
    std::optional<QStringList> offeredFormats() override
    {
        noteThread();
        std::lock_guard lock(mutex);
        ++listings;
        if (!contentsReadable)
            return std::nullopt;
        QStringList formats;
        for (const auto& [format, bytes] : storedContents.value_or(PasteboardContents{}))
            formats << format;
        return formats;
    }
    QByteArray read(const QString& format) override
    {
        noteThread();
        double delay = 0;
        std::function<void(const QString&)> hook;
        {
            std::lock_guard lock(mutex);
            delay = formatDelays.value(format, readDelay);
            hook = onRead;
        }
        if (hook)
            hook(format);
        Dispatch::sleepFor(delay);
        std::lock_guard lock(mutex);
        if (holdsPasted)
            ++ownTextReads;
        for (const auto& [offered, bytes] : storedContents.value_or(PasteboardContents{}))
            if (offered == format)
                return bytes;
        return {};
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
    double readDelay = 0.0;
    QHash<QString, double> formatDelays;
    std::function<void(const QString&)> onRead;
    int listings = 0;
    int ownTextReads = 0;
    QStringList recordedTexts;
    int restores = 0;
    std::atomic<int> offMain{0};
    std::atomic<uint64_t> fetches{0};
    std::atomic<Clock::rep> lastFetch{0};
};
