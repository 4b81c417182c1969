#pragma once

#include "platform/Pasteboard.h"

#include <QClipboard>
#include <QMimeData>
#include <QPointer>

#include <atomic>
#include <memory>

// One X selection (CLIPBOARD, or PRIMARY for the terminals that paste it)
// through QClipboard. Qt answers other applications' requests for our
// selection from the main event loop; the text we offer records each
// request, so the paste sequence can tell when the target has taken it.
class QtPasteboard final : public Pasteboard {
public:
    explicit QtPasteboard(QClipboard::Mode mode = QClipboard::Clipboard);

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
    QClipboard::Mode selection;
    std::shared_ptr<FetchLog> fetchLog;
    QPointer<QMimeData> pasted;
};
