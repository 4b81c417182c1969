#include "settings/tabs/LineLimitedLabel.h"

#include <QPainter>

#include <QStyle>
#include <QTextLayout>
#include <algorithm>

LineLimitedLabel::LineLimitedLabel(const QString& text, int lines, QWidget* parent)
    : QLabel(text, parent), maximumLines(std::max(1, lines))
{
    setWordWrap(true);
}

QStringList LineLimitedLabel::linesFor(int width) const
{
    const QString whole = text();
    QStringList lines;
    if (whole.isEmpty() || width <= 0)
        return lines;
    QTextLayout layout(whole, font());
    QTextOption option;
    option.setWrapMode(QTextOption::WordWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        if (lines.size() == maximumLines - 1) {
            // The last line allowed takes the rest, shortened to fit.
            lines << fontMetrics().elidedText(whole.mid(line.textStart()).trimmed(), Qt::ElideRight, width);
            break;
        }
        lines << whole.mid(line.textStart(), line.textLength()).trimmed();
    }
    layout.endLayout();
    return lines;
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
