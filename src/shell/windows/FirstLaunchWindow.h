#pragma once

#include "shell/tray/BackgroundDrag.h"

#include <QWidget>

#include <optional>

class ShellHost;

// The borderless welcome window of a first launch: 600 by 340 with rounded
// corners, moved by dragging its background. It is deleted when it closes.
class FirstLaunchWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int contentWidth = 600;
    static constexpr int contentHeight = 340;
    static constexpr double cornerRadius = 12.0;

    // Takes ownership of `content`.
    FirstLaunchWindow(QWidget* content, ShellHost* delegate, QWidget* parent = nullptr);

    QWidget* contentWidget() const { return content; }
    void present();

protected:
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QWidget* content;
    ShellHost* delegate;
    BackgroundDrag drag;
};
