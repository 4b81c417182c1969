#pragma once

#include <QPointer>
#include <QWidget>

class QVariantAnimation;

// A floating pill that shows the live transcription preview: a microphone
// symbol and up to two lines of the current transcription ("Listening..."
// while it is empty). It slides and fades in once when first shown.
//
// The text comes from the source's "currentTranscription" property and
// follows its change signal.
class StreamingPreviewView : public QWidget {
    Q_OBJECT

public:
    // Watches the shared recording manager.
    explicit StreamingPreviewView(QWidget* parent = nullptr);
    explicit StreamingPreviewView(QObject* transcriptionSource, QWidget* parent = nullptr);
    ~StreamingPreviewView() override;

    static constexpr int pillWidth = 320;
    static constexpr int pillHeight = 60;
    // Room around the pill for its shadows and the entrance offset.
    static constexpr int shadowMargin = 30;

    // The text shown: the current transcription, or "Listening..." when it
    // is empty.
    QString displayedText() const;
    // The text as laid out: at most two lines, the second cut with an
    // ellipsis when the text goes on.
    QStringList shownLines() const;
    // Where the pill sits at rest, in widget coordinates.
    QRect pillRect() const;
    // 0 before the entrance, 1 at rest.
    double entranceProgress() const { return progress; }
    bool hasEntered() const { return isVisible; }
    // Jumps to the end of a running entrance.
    void completeEntrance();

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private slots:
    void refreshText();

private:
    void watch(QObject* source);
    void paintPill(QPainter& painter, const QRectF& pill) const;
    void paintShadows(QPainter& painter, const QRectF& pill) const;
    QStringList visibleLines(const QFont& font, int width) const;
    QRectF textRect(const QRectF& pill) const;

    QPointer<QObject> previewSource;
    QString transcription;
    bool isVisible = false;
    double progress = 0.0;
    QVariantAnimation* entrance = nullptr;
};
