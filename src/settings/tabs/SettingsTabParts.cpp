#include "settings/tabs/SettingsTabParts.h"

#include "shell/theme/SymbolIcons.h"
#include "shell/theme/TallowindTheme.h"

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace SettingsTabParts {

using namespace TallowindTheme;

SecondaryLabel::SecondaryLabel(const QString& text, const QFont& font, QWidget* parent) : QLabel(text, parent)
{
    setFont(font);
    setWordWrap(true);
    applyColour();
}

void SecondaryLabel::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange)
        applyColour();
    QLabel::changeEvent(event);
}

void SecondaryLabel::applyColour()
{
    // Worked out from the surroundings, not from this label's own palette,
    // which already carries the secondary colour.
    const QPalette surroundings = parentWidget() ? parentWidget()->palette() : QGuiApplication::palette();
    const QColor secondary = Colors::textSecondary(surroundings);
    QPalette colours = palette();
    if (colours.color(QPalette::WindowText) == secondary)
        return;
    colours.setColor(QPalette::WindowText, secondary);
    setPalette(colours);
}

Divider::Divider(QWidget* parent, double lineOpacity) : QWidget(parent), opacity(lineOpacity)
{
    setFixedHeight(1);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void Divider::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QColor line = palette().color(QPalette::WindowText);
    line.setAlphaF(static_cast<float>(opacity));
    painter.fillRect(rect(), line);
}

EmptyStateView::EmptyStateView(
    const QString& symbolName, const QString& title, const QString& subtitle, QWidget* parent)
    : QWidget(parent), symbol(symbolName)
{
    icon = new QLabel(this);
    icon->setAlignment(Qt::AlignCenter);
    auto* heading = new SecondaryLabel(title, Typography::headline(), this);
    heading->setAlignment(Qt::AlignCenter);
    heading->setWordWrap(false);
    auto* detail = new SecondaryLabel(subtitle, Typography::callout(), this);
    detail->setAlignment(Qt::AlignCenter);
    detail->setWordWrap(false);

    auto* column = new QVBoxLayout(this);
    column->setSpacing(12);
    column->addStretch(1);
    column->addWidget(icon);
    column->addWidget(heading);
    column->addWidget(detail);
    column->addStretch(1);
    setAccessibleName(title);
    applyIcon();
}

void EmptyStateView::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange)
        applyIcon();
    QWidget::changeEvent(event);
}

void EmptyStateView::applyIcon()
{
    icon->setPixmap(
        SymbolIcons::pixmap(symbol, 48, SymbolTint::mono(Colors::textSecondary(palette())), devicePixelRatioF()));
}

PaddedItemDelegate::PaddedItemDelegate(int horizontalPadding, int verticalPadding, QObject* parent)
    : QStyledItemDelegate(parent), horizontal(horizontalPadding), vertical(verticalPadding)
{
}

void PaddedItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyleOptionViewItem item(option);
    initStyleOption(&item, index);
    const QStyle* style = item.widget ? item.widget->style() : QApplication::style();
    // The background and selection across the whole row, then the text inset.
    const QString text = item.text;
    item.text.clear();
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, item.widget);
    item.text = text;
    item.rect.adjust(horizontal, 0, -horizontal, 0);
    item.state &= ~QStyle::State_HasFocus;
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, item.widget);
}

QSize PaddedItemDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    return QStyledItemDelegate::sizeHint(option, index) + QSize(2 * horizontal, 2 * vertical);
}

QLabel* headline(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setFont(Typography::headline());
    return label;
}

void confirmDestructive(
    QPointer<QMessageBox>& slot, QMessageBox* box, const QString& action, std::function<void()> onConfirm)
{
    box->setWindowModality(Qt::WindowModal);
    QPushButton* cancel = box->addButton(QMessageBox::Cancel);
    QPushButton* confirm = box->addButton(action, QMessageBox::DestructiveRole);
    box->setDefaultButton(cancel);
    box->setEscapeButton(cancel);
    QObject::connect(
        box, &QMessageBox::finished, box->parent(), [&slot, box, confirm, onConfirm = std::move(onConfirm)] {
            const bool confirmed = box->clickedButton() == confirm;
            box->deleteLater();
            slot = nullptr;
            if (confirmed)
                onConfirm();
        });
    slot = box;
    box->open();
}

} // namespace SettingsTabParts
