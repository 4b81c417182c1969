#include "shell/theme/GlassButton.h"

#include "shell/theme/HoverEffect.h"
#include "shell/theme/SymbolIcons.h"
#include "shell/theme/TallowindTheme.h"

#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace {

using namespace TallowindTheme;

constexpr int symbolPixels = 15;
constexpr int focusRingGap = 2;
constexpr int focusRingWidth = 2;

} // namespace

GlassButton::GlassButton(const QString& title, const QString& iconName, std::function<void()> action, QWidget* parent)
    : QAbstractButton(parent), symbol(iconName), hover(::hoverEffect(this))
{
    setText(title);
    setAccessibleName(title);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setFont(Typography::callout());
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(hover, &HoverEffectModifier::currentScaleChanged, this, [this] { update(); });
    connect(this, &QAbstractButton::pressed, this, [this] { update(); });
    connect(this, &QAbstractButton::released, this, [this] { update(); });
    if (action)
        connect(this, &QAbstractButton::clicked, this, [run = std::move(action)] { run(); });
}

void GlassButton::setIconName(const QString& name)
{
    symbol = name;
    updateGeometry();
    update();
    emit iconNameChanged(name);
}

double GlassButton::currentScale() const
{
    return hover->currentScale() * (isDown() ? Animation::tapScale : 1.0);
}

QSize GlassButton::capsuleSize() const
{
    const QFontMetrics metrics(font());
    int width = metrics.horizontalAdvance(text());
    int height = metrics.height();
    if (!symbol.isEmpty()) {
        width += symbolPixels + static_cast<int>(Spacing::xSmall);
        height = std::max(height, symbolPixels);
    }
    return QSize(width + 2 * static_cast<int>(Spacing::medium), height + 2 * static_cast<int>(Spacing::xSmall));
}

// Room around the capsule for the hover growth and the focus ring.
int GlassButton::margin() const
{
    const QSize capsule = capsuleSize();
    const int growth = static_cast<int>(std::ceil(capsule.width() * (hover->scale() - 1.0) / 2.0));
    return std::max(growth, focusRingGap + focusRingWidth) + 1;
}

QSize GlassButton::sizeHint() const
{
    const int m = margin();
    return capsuleSize() + QSize(2 * m, 2 * m);
}

void GlassButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!isEnabled())
        painter.setOpacity(0.5);

    const QRectF bounds(rect());
    const QSizeF capsuleExtent(capsuleSize());
    QRectF capsule(QPointF(0, 0), capsuleExtent.boundedTo(bounds.size() - QSizeF(2 * margin(), 2 * margin())));
    capsule.moveCenter(bounds.center());

    const double scale = currentScale();
    painter.translate(bounds.center());
    painter.scale(scale, scale);
    painter.translate(-bounds.center());

    QPainterPath shape;
    const double radius = capsule.height() / 2.0;
    shape.addRoundedRect(capsule, radius, radius);
    painter.fillPath(shape, Colors::accentFill(palette()));
    painter.fillPath(shape, Colors::glassOverlay());

    if (hasFocus()) {
        const QRectF ring = capsule.adjusted(-focusRingGap, -focusRingGap, focusRingGap, focusRingGap);
        QColor ink = Colors::accentColor(palette());
        painter.setPen(QPen(ink, focusRingWidth));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(ring, ring.height() / 2.0, ring.height() / 2.0);
    }

    // The label: symbol, then title, centred as one row.
    const QFontMetricsF metrics(font());
    const double titleWidth = metrics.horizontalAdvance(text());
    const bool withSymbol = !symbol.isEmpty();
    const double rowWidth = titleWidth + (withSymbol ? symbolPixels + Spacing::xSmall : 0.0);
    double x = capsule.center().x() - rowWidth / 2.0;
    if (withSymbol) {
        const QPixmap glyph = SymbolIcons::pixmap(
            symbol, symbolPixels, SymbolTint{Qt::white, {}, SymbolRendering::monochrome}, devicePixelRatioF());
        painter.drawPixmap(QPointF(x, capsule.center().y() - symbolPixels / 2.0), glyph);
        x += symbolPixels + Spacing::xSmall;
    }
    painter.setPen(Qt::white);
    painter.setFont(font());
    painter.drawText(
        QRectF(x, capsule.top(), titleWidth + 1.0, capsule.height()), Qt::AlignLeft | Qt::AlignVCenter, text());
}

void GlassButton::keyPressEvent(QKeyEvent* event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && !event->isAutoRepeat()) {
        click();
        event->accept();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

void GlassButton::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange)
        updateGeometry();
    QAbstractButton::changeEvent(event);
}
