#include "settings/tabs/SettingsTabButton.h"

#include "settings/tabs/SettingsAccessibility.h"
#include "settings/tabs/SettingsStyle.h"
#include "shell/theme/SymbolIcons.h"
#include "shell/theme/TallowindTheme.h"

#include <algorithm>

#include <QEnterEvent>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

using SettingsStyle::withAlpha;

namespace {

constexpr int horizontalPadding = 16;
constexpr int verticalPadding = 10;
constexpr int iconFrame = 20;
constexpr int glyphSize = 16;
constexpr int labelSpacing = 12;

QFont titleFont(bool selected)
{
    return SettingsStyle::font(13, selected ? QFont::Medium : QFont::Normal);
}

QColor mixed(const QColor& from, const QColor& to, double amount)
{
    const auto mix = [amount](float a, float b) { return a + (b - a) * static_cast<float>(amount); };
    return QColor::fromRgbF(mix(from.redF(), to.redF()), mix(from.greenF(), to.greenF()), mix(from.blueF(), to.blueF()),
        mix(from.alphaF(), to.alphaF()));
}

} // namespace

SettingsTabButton::SettingsTabButton(SettingsTab tab, QWidget* parent)
    : QAbstractButton(parent), tabValue(tab), selection(this), hover(this)
{
    // Before anything that makes Qt build the button's interface.
    SettingsAccessibility::install();
    setText(SettingsTabs::title(tab));
    setAccessibleName(SettingsTabs::title(tab));
    setCheckable(false);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void SettingsTabButton::setSelected(bool selected)
{
    const bool changed = selected != isSelected();
    selection.setOn(selected);
    if (changed) {
        QAccessible::State state;
        state.selected = true;
        SettingsAccessibility::announceState(this, state);
    }
    update();
}

QSize SettingsTabButton::sizeHint() const
{
    const QFontMetrics metrics(titleFont(true));
    const int height = std::max(glyphSize, metrics.height()) + 2 * verticalPadding;
    return {2 * horizontalPadding + iconFrame + labelSpacing + metrics.horizontalAdvance(text()), height};
}

void SettingsTabButton::enterEvent(QEnterEvent* event)
{
    hover.setOn(true);
    QAbstractButton::enterEvent(event);
}

void SettingsTabButton::leaveEvent(QEvent* event)
{
    hover.setOn(false);
    QAbstractButton::leaveEvent(event);
}

void SettingsTabButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF plate = QRectF(rect());
    const double radius = TallowindTheme::Radius::small;
    QPainterPath shape;
    shape.addRoundedRect(plate, radius, radius);

    const QColor primary = TallowindTheme::Colors::textPrimary(palette());
    const QColor accent = TallowindTheme::Colors::accentColor(palette());
    const double selected = selection.value();
    const double hovered = hover.value() * (1.0 - selected);

    if (hovered > 0.0) {
        painter.fillPath(shape, withAlpha(primary, 0.08 * hovered));
        painter.setPen(QPen(withAlpha(primary, 0.1 * hovered), 1));
        painter.drawRoundedRect(plate.adjusted(0.5, 0.5, -0.5, -0.5), radius - 0.5, radius - 0.5);
    }
    if (selected > 0.0) {
        // The fill that keeps white ink legible under the sheen.
        painter.fillPath(shape, withAlpha(TallowindTheme::Colors::accentFill(palette()), selected));
        QLinearGradient sheen(plate.topLeft(), plate.bottomRight());
        sheen.setColorAt(0, withAlpha(Qt::white, 0.2 * selected));
        sheen.setColorAt(1, withAlpha(Qt::white, 0.05 * selected));
        painter.fillPath(shape, sheen);
    }
    if (hasFocus()) {
        // A ring a shade apart from the fill, so the selected button shows it too.
        painter.setPen(QPen(isSelected() ? withAlpha(Qt::white, 0.85) : accent, 2));
        painter.drawRoundedRect(plate.adjusted(1.5, 1.5, -1.5, -1.5), radius - 1.5, radius - 1.5);
    }

    const QColor ink = mixed(primary, Qt::white, selected);
    const QRect iconRect(
        horizontalPadding + (iconFrame - glyphSize) / 2, (height() - glyphSize) / 2, glyphSize, glyphSize);
    painter.drawPixmap(iconRect,
        SymbolIcons::pixmap(
            SettingsTabs::systemImage(tabValue), glyphSize, SymbolTint::mono(ink), devicePixelRatioF()));
    painter.setFont(titleFont(isSelected()));
    painter.setPen(ink);
    const int textLeft = horizontalPadding + iconFrame + labelSpacing;
    painter.drawText(
        QRect(textLeft, 0, width() - textLeft - horizontalPadding, height()), Qt::AlignVCenter | Qt::AlignLeft, text());
}
