#include "platform/qt/QtPasteboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QSet>

namespace {

// Selection pseudo-targets: they describe the selection, they carry none of
// its data, and Qt answers them itself.
bool isPseudoFormat(const QString& format)
{
    static const QSet<QString> pseudo = {
        QStringLiteral("TARGETS"),
        QStringLiteral("MULTIPLE"),
        QStringLiteral("TIMESTAMP"),
        QStringLiteral("SAVE_TARGETS"),
    };
    return pseudo.contains(format);
}

// Qt's reader adds this one whenever the owner offers any image format; put
// back on the clipboard it would make Qt offer every image format it can
// write, which the owner never did.
bool isDerivedFormat(const QString& format)
{
    return format == QLatin1String("application/x-qt-image");
}

// Text offered to other applications; counts each time its data is asked for.
class PastedTextMimeData final : public QMimeData {
public:
    explicit PastedTextMimeData(std::shared_ptr<QtPasteboard::FetchLog> log) : requestLog(std::move(log)) { }

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override
    {
        requestLog->lastTicks.store(Pasteboard::Clock::now().time_since_epoch().count());
        requestLog->count.fetch_add(1);
        return QMimeData::retrieveData(mimeType, type);
    }

private:
    std::shared_ptr<QtPasteboard::FetchLog> requestLog;
};

QClipboard* clipboard()
{
    return QGuiApplication::clipboard();
}

} // namespace

QtPasteboard::QtPasteboard(QClipboard::Mode mode) : selection(mode), fetchLog(std::make_shared<FetchLog>()) { }

std::optional<QStringList> QtPasteboard::offeredFormats()
{
    QClipboard* board = clipboard();
    if (!board)
        return std::nullopt;
    QStringList formats;
    // No data at all is an empty clipboard, not an unreadable one.
    const QMimeData* data = board->mimeData(selection);
    if (!data)
        return formats;
    for (const QString& format : data->formats()) {
        if (!isPseudoFormat(format) && !isDerivedFormat(format))
            formats.append(format);
    }
    return formats;
}

QByteArray QtPasteboard::read(const QString& format)
{
    QClipboard* board = clipboard();
    const QMimeData* data = board ? board->mimeData(selection) : nullptr;
    return data ? data->data(format) : QByteArray();
}

bool QtPasteboard::setText(const QString& text)
{
    QClipboard* board = clipboard();
    if (!board)
        return false;
    auto* data = new PastedTextMimeData(fetchLog);
    data->setText(text);
    // GTK asks for this one first.
    data->setData(QStringLiteral("text/plain;charset=utf-8"), text.toUtf8());
    // Clipboard managers keep no history of a dictation passing through.
    data->setData(QStringLiteral("x-kde-passwordManagerHint"), QByteArrayLiteral("secret"));
    pasted = data;
    board->setMimeData(data, selection);
    return holdsPastedText();
}

bool QtPasteboard::holdsPastedText()
{
    QClipboard* board = clipboard();
    return board && pasted && board->mimeData(selection) == pasted.data();
}

void QtPasteboard::restore(const PasteboardContents& contents)
{
    QClipboard* board = clipboard();
    if (!board)
        return;
    pasted.clear();
    // An empty clipboard stays ours, offering nothing: a program the text is
    // still owed to can only ask while we hold the selection.
    auto* data = new QMimeData;
    for (const auto& [format, bytes] : contents)
        data->setData(format, bytes);
    board->setMimeData(data, selection);
}

uint64_t QtPasteboard::fetchCount() const
{
    return fetchLog->count.load();
}

Pasteboard::Clock::time_point QtPasteboard::lastFetchTime() const
{
    return Clock::time_point(Clock::duration(fetchLog->lastTicks.load()));
}
