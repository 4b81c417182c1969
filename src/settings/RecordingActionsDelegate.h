#pragma once

#include <QIcon>
#include <QStyledItemDelegate>

// Draws a row's two actions, "Show in File Manager" and "Delete recording",
// as icons in one cell and reports clicks on them, so a table of any length
// holds no widget per row.
class RecordingActionsDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit RecordingActionsDelegate(QObject* parent = nullptr);

    // The icons follow the palette; the tab hands them in again when it changes.
    void setIcons(const QIcon& reveal, const QIcon& remove);

    enum class Action { reveal, remove };
    // Where an action's icon lies inside a cell.
    static QRect actionRect(const QRect& cell, Action action);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

signals:
    void revealClicked(const QModelIndex& index);
    void removeClicked(const QModelIndex& index);

protected:
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
        const QModelIndex& index) override;

private:
    QIcon revealIcon;
    QIcon removeIcon;
};
