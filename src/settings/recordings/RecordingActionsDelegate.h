#pragma once

#include <QIcon>
#include <QPersistentModelIndex>
#include <QStyledItemDelegate>

#include <optional>

class QAbstractItemView;

// Draws a row's two actions, "Show in File Manager" and "Delete recording",
// as icons in one column of a view and reports clicks on them, so a table
// of any length holds no widget per row. A click on an icon acts on its row
// and leaves the view's selection and current row alone; a double-click acts
// once.
class RecordingActionsDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    // Draws the view's `column`; the view must be the delegate's parent.
    RecordingActionsDelegate(QAbstractItemView* view, int column);

    // The icons follow the palette; the tab hands them in again when it changes.
    void setIcons(const QIcon& reveal, const QIcon& remove);

    enum class Action { reveal, remove };
    // Where an action's icon lies inside a cell.
    static QRect actionRect(const QRect& cell, Action action);
    // The icon's tooltip and accessible name.
    static QString actionName(Action action);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
        const QModelIndex& index) override;

signals:
    void revealClicked(const QModelIndex& index);
    void removeClicked(const QModelIndex& index);

protected:
    // Mouse presses on the icons never reach the view, which would select
    // the row under them.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Hit {
        QModelIndex index;
        Action action;
    };
    std::optional<Hit> actionAt(const QPoint& at) const;

    QAbstractItemView* view;
    // Kept apart from the view: a viewport event can arrive while the view
    // is being destroyed, when asking the view for it is no longer allowed.
    QWidget* viewport;
    int column;
    QIcon revealIcon;
    QIcon removeIcon;
    // The icon a press landed on, clicked when the release lands there too.
    QPersistentModelIndex pressedIndex;
    std::optional<Action> pressedAction;
    // That press was the second of a double-click, whose release clicks nothing.
    bool pressedTwice = false;
};
