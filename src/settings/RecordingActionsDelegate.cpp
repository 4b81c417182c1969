#include "settings/RecordingActionsDelegate.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>

namespace {

constexpr int iconSize = 16;
constexpr int spacing = 8;

} // namespace

RecordingActionsDelegate::RecordingActionsDelegate(QObject* parent) : QStyledItemDelegate(parent) { }

void RecordingActionsDelegate::setIcons(const QIcon& reveal, const QIcon& remove)
{
    revealIcon = reveal;
    removeIcon = remove;
}

QRect RecordingActionsDelegate::actionRect(const QRect& cell, Action action)
{
    const int width = 2 * iconSize + spacing;
    const int left = cell.left() + (cell.width() - width) / 2;
    const int top = cell.top() + (cell.height() - iconSize) / 2;
    const int offset = action == Action::reveal ? 0 : iconSize + spacing;
    return QRect(left + offset, top, iconSize, iconSize);
}

void RecordingActionsDelegate::paint(
    QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    // The row's own background (selection, focus), then the two icons.
    QStyleOptionViewItem background = option;
    initStyleOption(&background, index);
    background.text.clear();
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &background, painter, widget);
    const QIcon::Mode mode = option.state & QStyle::State_Enabled ? QIcon::Normal : QIcon::Disabled;
    revealIcon.paint(painter, actionRect(option.rect, Action::reveal), Qt::AlignCenter, mode);
    removeIcon.paint(painter, actionRect(option.rect, Action::remove), Qt::AlignCenter, mode);
}

QSize RecordingActionsDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const QSize text = QStyledItemDelegate::sizeHint(option, index);
    return QSize(2 * iconSize + spacing, std::max(text.height(), iconSize));
}

bool RecordingActionsDelegate::editorEvent(
    QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option, const QModelIndex& index)
{
    if (event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton) {
            const QPoint at = mouse->position().toPoint();
            if (actionRect(option.rect, Action::reveal).contains(at)) {
                emit revealClicked(index);
                return true;
            }
            if (actionRect(option.rect, Action::remove).contains(at)) {
                emit removeClicked(index);
                return true;
            }
        }
    }
    return QStyledItemDelegate::editorEvent(event, model, option, index);
}
