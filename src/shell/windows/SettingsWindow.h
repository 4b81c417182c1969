#pragma once

#include <QWidget>

class ContentHost;
class QScreen;
class ShellHost;

// The "Settings" window: 850 by 540, resizable, built once; closing it
// hides it, so its content keeps its state for the next opening.
class SettingsWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int contentWidth = 850;
    static constexpr int contentHeight = 540;

    explicit SettingsWindow(ShellHost* delegate, QWidget* parent = nullptr);

    // The Settings view; until it is set a placeholder is shown.
    void setContentWidget(QWidget* content);
    QWidget* contentWidget() const;
    bool showsPlaceholder() const;

    // Shows the window in front of other applications' windows.
    void present();

protected:
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    ContentHost* host;
    ShellHost* delegate;
};

// Moves `window` to the middle of the available area of `screen` (of the
// primary screen when none is given).
void centreOnScreen(QWidget* window, const QScreen* screen = nullptr);
