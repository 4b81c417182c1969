#include "popover/RecordButton.h"

#include "popover/FocusRing.h"

#include "shell/theme/HoverEffect.h"
#include "shell/theme/SymbolIcons.h"
#include "shell/theme/TallowindTheme.h"

#include <QPainter>

#include <cmath>

RecordButton::RecordButton(QWidget* parent) : QAbstractButton(parent), hover(::hoverEffect(this, hoverScale))
{
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setAccessibleName(QStringLiteral("Start recording"));
    setToolTip(accessibleName());
    setFixedSize(sizeHint());
    connect(hover, &HoverEffectModifier::currentScaleChanged, this, [this] { update(); });
}

void RecordButton::setRecording(bool value)
{
    recording = value;
    const QString name = recording ? QStringLiteral("Stop recording") : QStringLiteral("Start recording");
    setAccessibleName(name);
    setToolTip(name);
    update();
    emit recordingChanged(recording);
}

QString RecordButton::symbolName() const
{
    return recording ? QStringLiteral("stop.fill") : QStringLiteral("mic.fill");
}

double RecordButton::currentScale() const
{
    return hover->currentScale();
}

// Room for the grown circle and the focus ring around it.
QSize RecordButton::sizeHint() const
{
    const int side = static_cast<int>(std::ceil(circleDiameter * hoverScale)) + 4;
    return {side, side};
}

void RecordButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPointF centre = QRectF(rect()).center();
    painter.translate(centre);
    painter.scale(currentScale(), currentScale());

    // The circle is red while recording, else the label colour. The symbol
    // is white on red; on the label colour it takes the window colour, which
    // keeps it visible in the dark scheme too, where the label colour is
    // light.
    const QColor circle =
        recording ? TallowindTheme::Colors::destructiveColor() : TallowindTheme::Colors::textPrimary(palette());
    const QColor glyphColour = recording ? QColor(Qt::white) : palette().color(QPalette::Window);
    painter.setPen(Qt::NoPen);
    painter.setBrush(circle);
    const double radius = circleDiameter / 2.0;
    painter.drawEllipse(QPointF(0, 0), radius, radius);

    const double glyphScale = recording ? recordingSymbolScale : 1.0;
    const QPixmap glyph = SymbolIcons::pixmap(
        symbolName(), symbolSize, SymbolTint::mono(glyphColour), devicePixelRatioF() * currentScale());
    const double side = symbolSize * glyphScale;
    painter.drawPixmap(QRectF(-side / 2.0, -side / 2.0, side, side), glyph, QRectF(glyph.rect()));
    painter.resetTransform();

    if (FocusRing::wanted(this))
        FocusRing::paint(painter, QRectF(rect()), rect().width() / 2.0, palette());
}
