#include "shell/indicator/IndicatorSymbolButton.h"

#include "shell/theme/TallowindTheme.h"

#include <QPainter>

IndicatorSymbolButton::IndicatorSymbolButton(const QString& symbolName, TintForPalette tintForPalette, QWidget* parent)
    : QAbstractButton(parent), symbol(symbolName), tint(std::move(tintForPalette))
{
    setFixedSize(sizeHint());
    setCursor(Qt::ArrowCursor);
    // Reachable with Tab where the window takes the focus (the indicator's
    // own panel never does, so the pointer never moves it away from the
    // field being dictated into).
    setFocusPolicy(Qt::TabFocus);
}

void IndicatorSymbolButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (isDown())
        painter.setOpacity(0.6);
    const QPixmap pixmap = SymbolIcons::pixmap(symbol, symbolSize, currentTint(), devicePixelRatioF());
    painter.drawPixmap(QRectF(rect()), pixmap, QRectF(pixmap.rect()));
    if (hasFocus()) {
        painter.setOpacity(1.0);
        painter.setPen(QPen(TallowindTheme::Colors::accentColor(palette()), 2.0));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(QRectF(rect()).adjusted(1, 1, -1, -1));
    }
}
