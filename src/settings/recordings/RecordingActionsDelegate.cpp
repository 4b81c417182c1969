#include "settings/recordings/RecordingActionsDelegate.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

namespace {

constexpr int iconSize = 16;
constexpr int spacing = 8;

} // namespace

RecordingActionsDelegate::RecordingActionsDelegate(QAbstractItemView* itemView, int actionsColumn)
    : QStyledItemDelegate(itemView), view(itemView), viewport(itemView->viewport()), column(actionsColumn)
{
    viewport->installEventFilter(this);
}

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

QString RecordingActionsDelegate::actionName(Action action)
{
    return action == Action::reveal ? QStringLiteral("Show in File Manager") : QStringLiteral("Delete recording");
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

bool RecordingActionsDelegate::helpEvent(
    QHelpEvent* event, QAbstractItemView* itemView, const QStyleOptionViewItem& option, const QModelIndex& index)
{
    if (event->type() == QEvent::ToolTip) {
        for (const Action action : {Action::reveal, Action::remove}) {
            if (actionRect(option.rect, action).contains(event->pos())) {
                QToolTip::showText(event->globalPos(), actionName(action), itemView, actionRect(option.rect, action));
                return true;
            }
        }
    }
    return QStyledItemDelegate::helpEvent(event, itemView, option, index);
}

std::optional<RecordingActionsDelegate::Hit> RecordingActionsDelegate::actionAt(const QPoint& at) const
{
    const QModelIndex index = view->indexAt(at);
    if (!index.isValid() || index.column() != column)
        return std::nullopt;
    const QRect cell = view->visualRect(index);
    for (const Action action : {Action::reveal, Action::remove}) {
        if (actionRect(cell, action).contains(at))
            return Hit{index, action};
    }
    return std::nullopt;
}

bool RecordingActionsDelegate::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != viewport)
        return QStyledItemDelegate::eventFilter(watched, event);
    const QEvent::Type type = event->type();
    // While an icon is held, a hand's slight move would drag a selection.
    if (type == QEvent::MouseMove)
        return pressedAction.has_value();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick && type != QEvent::MouseButtonRelease)
        return false;
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() != Qt::LeftButton)
        return false;
    const std::optional<Hit> hit = actionAt(mouse->position().toPoint());
    if (type != QEvent::MouseButtonRelease) {
        if (!hit)
            return false;
        pressedIndex = hit->index;
        pressedAction = hit->action;
        // A double-click acts once, at its first click. Its second press may
        // land on another row, moved up under the pointer by a deletion.
        pressedTwice = type == QEvent::MouseButtonDblClick;
        return true;
    }
    // A release ends the press the view never saw, wherever it lands.
    if (!pressedAction)
        return false;
    const bool clicked =
        !pressedTwice && hit && hit->action == *pressedAction && QPersistentModelIndex(hit->index) == pressedIndex;
    pressedAction.reset();
    pressedIndex = QPersistentModelIndex();
    if (clicked) {
        if (hit->action == Action::reveal)
            emit revealClicked(hit->index);
        else
            emit removeClicked(hit->index);
    }
    return true;
}
