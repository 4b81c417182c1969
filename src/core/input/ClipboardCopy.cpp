#include "core/input/ClipboardCopy.h"

#include "base/Log.h"

#include <algorithm>

namespace {

// What the user most likely copied: text in any encoding and pictures.
bool isPreferredFormat(const QString& format)
{
    return format.startsWith(QLatin1String("text/")) || format.startsWith(QLatin1String("image/"))
        || !format.contains(QLatin1Char('/'));
}

} // namespace

ClipboardCopy::ClipboardCopy(std::shared_ptr<Pasteboard> pasteboard, double budgetSeconds)
    : board(std::move(pasteboard)), budget(budgetSeconds)
{
}

void ClipboardCopy::start()
{
    Dispatch::main().async([self = shared_from_this()] { self->step(); });
}

bool ClipboardCopy::hasStarted() const
{
    std::lock_guard lock(mutex);
    return started;
}

bool ClipboardCopy::waitUntilFinished(double timeoutSeconds)
{
    if (!finished.wait(timeoutSeconds))
        return false;
    // Leave the permit for any later waiter.
    finished.signal();
    return true;
}

void ClipboardCopy::finishAndClose()
{
    while (readNext()) { }
    std::lock_guard lock(mutex);
    if (closed)
        return;
    closed = true;
    if (!toRead.isEmpty()) {
        Log::system(QStringLiteral("[TextInserter] Clipboard owner too slow; not restored: %1")
                        .arg(toRead.join(QStringLiteral(", "))));
    }
    finished.signal();
}

void ClipboardCopy::step()
{
    if (readNext())
        Dispatch::main().async([self = shared_from_this()] { self->step(); });
    else
        finishAndClose();
}

bool ClipboardCopy::readNext()
{
    QString format;
    {
        std::lock_guard lock(mutex);
        if (closed)
            return false;
        started = true;
        if (offered && !toRead.isEmpty() && Pasteboard::Clock::now() < deadline)
            format = toRead.takeFirst();
    }
    if (!offered) {
        // Only the main thread writes `offered`, once, here.
        auto formats = board->offeredFormats();
        std::lock_guard lock(mutex);
        offered = std::move(formats);
        // The budget counts from here: an owner slow to list its formats
        // still has its text read.
        deadline = Pasteboard::Clock::now()
            + std::chrono::duration_cast<Pasteboard::Clock::duration>(std::chrono::duration<double>(budget));
        if (offered) {
            toRead = *offered;
            std::stable_partition(toRead.begin(), toRead.end(), isPreferredFormat);
        }
    } else if (!format.isEmpty()) {
        const QByteArray bytes = board->read(format);
        std::lock_guard lock(mutex);
        if (!bytes.isNull())
            read.insert(format, bytes);
    }
    std::lock_guard lock(mutex);
    return !toRead.isEmpty() && Pasteboard::Clock::now() < deadline;
}

std::optional<PasteboardContents> ClipboardCopy::contents() const
{
    std::lock_guard lock(mutex);
    if (!offered)
        return std::nullopt;
    PasteboardContents copied;
    for (const QString& format : *offered) {
        const auto found = read.constFind(format);
        if (found != read.constEnd())
            copied.append({format, *found});
    }
    return copied;
}
