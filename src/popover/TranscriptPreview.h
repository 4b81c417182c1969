#pragma once

#include <QAbstractButton>

// The one-line transcript preview of the collapsed studio: the first 50
// characters of the transcript ("..." when it goes on), or "Say something..."
// in a faint secondary colour when there is none. Clicking it (or pressing
// space or return on it) asks to expand, but only when there is a
// transcript to show.
class TranscriptPreview : public QAbstractButton {
    Q_OBJECT
    Q_PROPERTY(QString transcript READ transcript WRITE setTranscript NOTIFY transcriptChanged)

public:
    static constexpr int fontPixelSize = 14;

    explicit TranscriptPreview(QWidget* parent = nullptr);

    QString transcript() const { return fullText; }
    void setTranscript(const QString& value);
    // What the preview reads: the placeholder or the cut transcript.
    QString shownText() const;
    bool showsPlaceholder() const { return fullText.isEmpty(); }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void transcriptChanged(const QString& transcript);
    void expandRequested();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString fullText;
};
