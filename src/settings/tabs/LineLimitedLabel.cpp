#include "settings/tabs/LineLimitedLabel.h"

#include "shell/TextLines.h"

#include <QPainter>
#include <QStyle>
#include <algorithm>

LineLimitedLabel::LineLimitedLabel(const QString& text, int lines, QWidget* parent)
    : QLabel(text, parent), maximumLines(std::max(1, lines))
{
    setWordWrap(true);
}

QStringList LineLimitedLabel::linesFor(int width) const
{
    return wrappedLines(text(), font(), width, maximumLines);
}

int LineLimitedLabel::heightForWidth(int width) const
{
    const QMargins margins = contentsMargins();
    const qsizetype lines = std::max<qsizetype>(1, linesFor(width - margins.left() - margins.right()).size());
    return static_cast<int>(lines) * fontMetrics().lineSpacing() + margins.top() + margins.bottom();
}

QSize LineLimitedLabel::sizeHint() const
{
    const int width = QLabel::sizeHint().width();
    return {width, heightForWidth(width)};
}

QSize LineLimitedLabel::minimumSizeHint() const
{
    const QMargins margins = contentsMargins();
    return {QLabel::minimumSizeHint().width(), fontMetrics().lineSpacing() + margins.top() + margins.bottom()};
}

void LineLimitedLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QRect line = contentsRect();
    line.setHeight(fontMetrics().lineSpacing());
    for (const QString& text : shownLines()) {
        style()->drawItemText(
            &painter, line, Qt::AlignLeft | Qt::AlignVCenter, palette(), isEnabled(), text, foregroundRole());
        line.translate(0, line.height());
    }
}
