#pragma once

#include "shell/tray/BackgroundDrag.h"
#include "shell/tray/EdgeResize.h"

#include <QPointer>

#include <QWidget>

#include <optional>

class ContentHost;
class QVariantAnimation;
class ShellHost;

// The floating panel under the tray icon that hosts the popover's view: a
// frameless tool window that stays on top, takes the keyboard focus, can be
// dragged by its background, resized from its edges, and grows or shrinks
// downwards. Built once and then shown and hidden.
class PopoverPanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int collapsedHeight = 80;
    static constexpr int expandedHeight = 320;
    static constexpr double cornerRadius = 16.0;

    explicit PopoverPanel(QWidget* parent = nullptr);

    // The popover's view; until it is set a placeholder is shown.
    void setContentWidget(QWidget* content);
    QWidget* contentWidget() const;
    bool showsPlaceholder() const;

    // Receives windowDidMove while set; nullptr stops the reports.
    void setDelegate(ShellHost* shellHost) { delegate = shellHost; }
    ShellHost* currentDelegate() const { return delegate; }

    // Animates to the expanded or collapsed height keeping the top edge and
    // the width, along the current motion transaction's curve if there is
    // one; a change of less than one pixel is not made. The user may then
    // make the panel larger, not smaller than that height.
    void resizeKeepingTop(bool expanded);
    // The geometry the panel has or is animating to.
    QRect targetGeometry() const;

    // Moves the panel to `origin` (top left) without reporting it as a move
    // of the user's.
    void placeAt(QPoint origin);
    // Shows the panel in front and gives it the keyboard focus.
    void present();

protected:
    void moveEvent(QMoveEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    ContentHost* host;
    ShellHost* delegate = nullptr;
    QPointer<QVariantAnimation> animation;
    BackgroundDrag drag;
    EdgeResize edgeResize;
    std::optional<QPoint> placedAt;
};
