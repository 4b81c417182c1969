#pragma once

#include "platform/Pasteboard.h"

#include <QMimeData>
#include <QPointer>

#include <atomic>
#include <memory>

// The CLIPBOARD selection through QClipboard. Qt answers other applications'
// requests for our selection from the main event loop; the text we offer
// records each request, so the paste sequence can tell when the target has
// taken it.
class QtPasteboard final : public Pasteboard {
public:
    QtPasteboard();

    std::optional<QStringList> offeredFormats() override;
    QByteArray read(const QString& format) override;
    bool setText(const QString& text) override;
    bool holdsPastedText() override;
    void restore(const PasteboardContents& contents) override;

    uint64_t fetchCount() const override;
    Clock::time_point lastFetchTime() const override;

    // Requests counted so far, shared with the offered data, which Qt may
    // keep or delete on its own schedule.
    struct FetchLog {
        std::atomic<uint64_t> count{0};
        std::atomic<Clock::rep> lastTicks{0};
    };

private:
    std::shared_ptr<FetchLog> fetchLog;
    QPointer<QMimeData> pasted;
};
