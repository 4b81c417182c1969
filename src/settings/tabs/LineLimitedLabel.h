#pragma once

#include <QLabel>
#include <QStringList>

// A wrapped text shown in at most a given number of lines: what does not
// fit ends the last line with an ellipsis, so no line is ever cut by the
// label's height. Its text, for screen readers too, stays whole.
class LineLimitedLabel : public QLabel {
public:
    LineLimitedLabel(const QString& text, int maximumLines, QWidget* parent = nullptr);

    // The lines shown at the label's present width.
    QStringList shownLines() const { return linesFor(contentsRect().width()); }

    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QStringList linesFor(int width) const;

    int maximumLines;
};
