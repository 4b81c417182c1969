#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <chrono>
#include <cstdint>
#include <optional>

// Every format of the clipboard's contents, in the order the owner listed
// them. An empty list is an empty clipboard.
using PasteboardContents = QList<QPair<QString, QByteArray>>;

// The desktop clipboard as the paste sequence uses it. Every member except
// the fetch counters must be called on the main thread.
class Pasteboard {
public:
    using Clock = std::chrono::steady_clock;

    virtual ~Pasteboard() = default;

    // The formats the clipboard offers now, in the owner's order, leaving out
    // those that carry no data of their own; nothing when the clipboard cannot
    // be read at all. Reading waits for the owner, so callers take one format
    // at a time.
    virtual std::optional<QStringList> offeredFormats() = 0;
    // One format's data; null when the owner did not hand it over.
    virtual QByteArray read(const QString& format) = 0;
    // Replaces the contents with `text`. True once the clipboard holds it.
    virtual bool setText(const QString& text) = 0;
    // True while the contents are still those of the last setText().
    virtual bool holdsPastedText() = 0;
    // Replaces the contents with `contents` (empty: nothing on offer).
    virtual void restore(const PasteboardContents& contents) = 0;

    // How often another application has asked for the data of the text set
    // by setText(), and when it last did. Callable from any thread.
    virtual uint64_t fetchCount() const = 0;
    virtual Clock::time_point lastFetchTime() const = 0;
};
