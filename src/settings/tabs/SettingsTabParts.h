#pragma once

#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QStyledItemDelegate>
#include <QWidget>

#include <functional>

// Small pieces shared by the Settings tabs.
namespace SettingsTabParts {

// Text in the palette's secondary colour, following palette changes.
class SecondaryLabel : public QLabel {
    Q_OBJECT
public:
    SecondaryLabel(const QString& text, const QFont& font, QWidget* parent = nullptr);

protected:
    void changeEvent(QEvent* event) override;

private:
    void applyColour();
};

// A 1-pixel line in the text colour at low opacity.
class Divider : public QWidget {
    Q_OBJECT
public:
    explicit Divider(QWidget* parent = nullptr, double opacity = 0.1);
    QSize sizeHint() const override { return {1, 1}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double opacity;
};

// A large secondary symbol with a headline and a smaller line below it,
// centred in the space it is given.
class EmptyStateView : public QWidget {
    Q_OBJECT
public:
    EmptyStateView(const QString& symbol, const QString& title, const QString& subtitle, QWidget* parent = nullptr);

protected:
    void changeEvent(QEvent* event) override;

private:
    void applyIcon();
    QString symbol;
    QLabel* icon = nullptr;
};

// Rows with room around their text; the selection still spans the row.
class PaddedItemDelegate : public QStyledItemDelegate {
public:
    PaddedItemDelegate(int horizontal, int vertical, QObject* parent = nullptr);
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    int horizontal;
    int vertical;
};

QLabel* headline(const QString& text, QWidget* parent);

// Makes box, which says what is about to go for good, ask window-modally
// with Cancel as the default and escape button, so a stray Return or Escape
// destroys nothing, and one destructive button labelled action; runs
// onConfirm only when that button was pressed. slot holds the box while it
// is open.
void confirmDestructive(
    QPointer<QMessageBox>& slot, QMessageBox* box, const QString& action, std::function<void()> onConfirm);

} // namespace SettingsTabParts
