#include "popover/SymbolButton.h"

#include "popover/FocusRing.h"

#include "shell/theme/SymbolIcons.h"
#include "shell/theme/TallowindTheme.h"

#include <QPainter>

SymbolButton::SymbolButton(
    const QString& symbolName, int symbolSize, QSize frame, const QString& accessibleName, QWidget* parent)
    : QAbstractButton(parent), symbol(symbolName), pixelSize(symbolSize), frameSize(frame)
{
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setAccessibleName(accessibleName);
    setToolTip(accessibleName);
    setFixedSize(frame);
}

void SymbolButton::setSymbolName(const QString& name)
{
    symbol = name;
    update();
    emit symbolNameChanged(symbol);
}

void SymbolButton::setPrimaryTint(bool value)
{
    primary = value;
    update();
    emit primaryTintChanged(primary);
}

void SymbolButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor tint =
        primary ? TallowindTheme::Colors::textPrimary(palette()) : TallowindTheme::Colors::textSecondary(palette());
    if (!isEnabled())
        tint.setAlphaF(tint.alphaF() * 0.3F);
    const QPixmap glyph = SymbolIcons::pixmap(symbol, pixelSize, SymbolTint::mono(tint), devicePixelRatioF());
    const QRectF target(QPointF(0, 0), QSizeF(pixelSize, pixelSize));
    painter.drawPixmap(
        target.translated(QPointF(width() - pixelSize, height() - pixelSize) / 2.0), glyph, QRectF(glyph.rect()));
    if (FocusRing::wanted(this))
        FocusRing::paint(painter, QRectF(rect()), 6.0, palette());
}
