#include "shell/indicator/StreamingPreviewView.h"

#include "recording/RecordingManager.h"

#include <QImage>
#include <QObject>

#include <gtest/gtest.h>

namespace {

class TranscriptionSource : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString currentTranscription MEMBER text NOTIFY currentTranscriptionChanged)
public:
    void set(const QString& value)
    {
        text = value;
        emit currentTranscriptionChanged(value);
    }
    QString text;
signals:
    void currentTranscriptionChanged(const QString&);
};

QImage render(StreamingPreviewView& view)
{
    view.show();
    view.completeEntrance();
    return view.grab().toImage().convertToFormat(QImage::Format_ARGB32);
}

// How many pixels of the text area differ between two renderings.
int differingPixels(const QImage& a, const QImage& b, const QRect& area)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += a.pixel(x, y) != b.pixel(x, y);
    return count;
}

TEST(StreamingPreviewView, ShowsTheTranscriptionOrListeningAndFollowsChanges)
{
    TranscriptionSource source;
    StreamingPreviewView view(&source);
    EXPECT_EQ(view.displayedText(), QStringLiteral("Listening..."));
    source.set(QStringLiteral("Processing..."));
    EXPECT_EQ(view.displayedText(), QStringLiteral("Processing..."));
    source.set(QStringLiteral("Speech recognition busy"));
    EXPECT_EQ(view.shownLines(), QStringList{QStringLiteral("Speech recognition busy")});
    source.set(QString());
    EXPECT_EQ(view.displayedText(), QStringLiteral("Listening..."));

    // By default it follows the shared recording manager.
    StreamingPreviewView shared;
    RecordingManager::shared().setCurrentTranscription(QStringLiteral("from the manager"));
    EXPECT_EQ(shared.displayedText(), QStringLiteral("from the manager"));
    RecordingManager::shared().setCurrentTranscription(QString());
    EXPECT_EQ(shared.displayedText(), QStringLiteral("Listening..."));

    StreamingPreviewView withoutSource(static_cast<QObject*>(nullptr));
    EXPECT_EQ(withoutSource.displayedText(), QStringLiteral("Listening..."));
}

TEST(StreamingPreviewView, LongTextIsCutToTwoLinesAndThePillKeepsItsSize)
{
    TranscriptionSource source;
    StreamingPreviewView view(&source);
    const QSize size = render(view).size();
    source.set(QStringLiteral("this is a very long running transcription that goes on and on well past "
                              "what two lines of the preview can ever hold at this size"));
    const QStringList lines = view.shownLines();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[1].endsWith(QChar(0x2026)));
    EXPECT_EQ(render(view).size(), size);
    EXPECT_EQ(view.pillRect().size(), QSize(320, 60));
    EXPECT_TRUE(view.rect().contains(view.pillRect()));
}

TEST(StreamingPreviewView, RendersARoundedTranslucentPillWithItsText)
{
    TranscriptionSource source;
    StreamingPreviewView view(&source);
    const QImage listening = render(view);
    const QRect pill = view.pillRect();

    // Outside the pill's rounded corner only a faint shadow remains; the
    // window's own corner is clear; the body is translucent, not clear.
    EXPECT_EQ(qAlpha(listening.pixel(0, 0)), 0);
    EXPECT_LT(qAlpha(listening.pixel(pill.topLeft() + QPoint(1, 1))), 60);
    EXPECT_LT(qAlpha(listening.pixel(pill.topRight() + QPoint(-1, 1))), 60);
    const int body = qAlpha(listening.pixel(pill.center()));
    EXPECT_GT(body, 120);

    // Another text changes the text area and nothing left of it.
    source.set(QStringLiteral("Processing..."));
    const QImage processing = render(view);
    const QRect textArea(pill.left() + 56, pill.top() + 4, pill.width() - 76, pill.height() - 8);
    const QRect symbolArea(pill.left() + 20, pill.top(), 24, pill.height());
    EXPECT_GT(differingPixels(listening, processing, textArea), 50);
    EXPECT_EQ(differingPixels(listening, processing, symbolArea), 0);
}

TEST(StreamingPreviewView, EntersOnceWhenFirstShown)
{
    StreamingPreviewView view(static_cast<QObject*>(nullptr));
    EXPECT_FALSE(view.hasEntered());
    EXPECT_EQ(view.entranceProgress(), 0.0);
    // Before the entrance nothing is visible.
    const QImage before = view.grab().toImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(qAlpha(before.pixel(view.pillRect().center())), 0);

    view.show();
    EXPECT_TRUE(view.hasEntered());
    view.completeEntrance();
    EXPECT_DOUBLE_EQ(view.entranceProgress(), 1.0);
    view.hide();
    view.show();
    EXPECT_DOUBLE_EQ(view.entranceProgress(), 1.0);
}

} // namespace

#include "streaming_preview_view_test.moc"
