#include "settings/tabs/DownloadProgressBar.h"

#include "shell/theme/TallowindTheme.h"

#include <QPainter>

#include <algorithm>

namespace {
constexpr double trackHeight = 6.0;
}

DownloadProgressBar::DownloadProgressBar(QWidget* parent) : QProgressBar(parent)
{
    setTextVisible(false);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize DownloadProgressBar::sizeHint() const
{
    return {200, 16};
}

void DownloadProgressBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const QRectF track(0, (height() - trackHeight) / 2, width(), trackHeight);
    QColor trackColour = TallowindTheme::Colors::textSecondary(palette());
    trackColour.setAlphaF(0.25f);
    painter.setBrush(trackColour);
    painter.drawRoundedRect(track, trackHeight / 2, trackHeight / 2);

    const int span = maximum() - minimum();
    const double fraction = span > 0 ? std::clamp(static_cast<double>(value() - minimum()) / span, 0.0, 1.0) : 0.0;
    if (fraction <= 0.0)
        return;
    // Never narrower than its own rounded ends.
    const double filled = std::max(trackHeight, track.width() * fraction);
    painter.setBrush(TallowindTheme::Colors::accentColor(palette()));
    painter.drawRoundedRect(QRectF(track.left(), track.top(), filled, trackHeight), trackHeight / 2, trackHeight / 2);
}
