#include "popover/TranscriptPreview.h"

#include "popover/FocusRing.h"
#include "popover/TranscriptText.h"

#include "shell/theme/TallowindTheme.h"

#include <QPainter>

namespace {

const QString placeholder = QStringLiteral("Say something...");

QFont previewFont(const QFont& base)
{
    QFont font = base;
    font.setPixelSize(TranscriptPreview::fontPixelSize);
    font.setWeight(QFont::Normal);
    return font;
}

} // namespace

TranscriptPreview::TranscriptPreview(QWidget* parent) : QAbstractButton(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(QStringLiteral("Transcript preview"));
    setAccessibleDescription(placeholder);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    setFont(previewFont(font()));
    connect(this, &QAbstractButton::clicked, this, [this] {
        if (!fullText.isEmpty())
            emit expandRequested();
    });
}

void TranscriptPreview::setTranscript(const QString& value)
{
    fullText = value;
    setAccessibleDescription(shownText());
    setCursor(fullText.isEmpty() ? Qt::ArrowCursor : Qt::PointingHandCursor);
    update();
    emit transcriptChanged(fullText);
}

QString TranscriptPreview::shownText() const
{
    return fullText.isEmpty() ? placeholder : TranscriptText::preview(fullText);
}

QSize TranscriptPreview::sizeHint() const
{
    return {160, fontMetrics().height() + 8};
}

QSize TranscriptPreview::minimumSizeHint() const
{
    return {40, fontMetrics().height() + 8};
}

void TranscriptPreview::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QColor ink = TallowindTheme::Colors::textPrimary(palette());
    // The faintest text colour that still reads.
    if (fullText.isEmpty())
        ink = TallowindTheme::Colors::textTertiary(palette());
    painter.setPen(ink);
    painter.setFont(font());
    // One line: what does not fit the width ends in an ellipsis.
    const QRect area = rect().adjusted(4, 0, -4, 0);
    const QString line = fontMetrics().elidedText(shownText(), Qt::ElideRight, area.width());
    painter.drawText(area, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, line);
    if (FocusRing::wanted(this))
        FocusRing::paint(painter, QRectF(rect()), 6.0, palette());
}
