#pragma once

#include "core/input/KeyboardShortcut.h"
#include "settings/shortcuts/ShortcutCaptureDecision.h"

#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;
class ShortcutCaptureHost;

// One shortcut row: the action's name, a button showing its shortcut and,
// while a capture is armed, a "Cancel" link. Clicking the button arms a
// capture: the next key press anywhere in the application (or a chord of
// modifier keys) becomes the action's shortcut. One row is armed at a time;
// hiding the row or leaving the application disarms it.
class KeyboardShortcutCaptureView : public QWidget {
    Q_OBJECT
    Q_PROPERTY(bool isCapturing READ isCapturing NOTIFY isCapturingChanged)

public:
    using ShortcutReader = std::function<KeyboardShortcut()>;
    using ShortcutWriter = std::function<void(const KeyboardShortcut&)>;

    // `host` (may be null) is told to suspend the global shortcuts while armed.
    KeyboardShortcutCaptureView(ShortcutAction action, ShortcutReader shortcut, ShortcutWriter setShortcut,
        ShortcutCaptureHost* host = nullptr, QWidget* parent = nullptr);
    ~KeyboardShortcutCaptureView() override;

    ShortcutAction action() const { return shortcutAction; }
    bool isCapturing() const { return capturing; }
    void startCapturing();
    void stopCapturing();
    // Re-reads the shortcut into the button.
    void refresh();

    QPushButton* captureButton() const { return button; }
    QPushButton* cancelButton() const { return cancel; }
    // Shown while another program holds the shortcut.
    QLabel* takenLabel() const { return takenMark; }

signals:
    void isCapturingChanged(bool isCapturing);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void buttonClicked();
    void accept(const KeyboardShortcut& shortcut);
    void setCapturing(bool value);

    ShortcutAction shortcutAction;
    ShortcutReader readShortcut;
    ShortcutWriter writeShortcut;
    ShortcutCaptureHost* host;
    bool capturing = false;
    ShortcutCaptureDecision decision;
    QLabel* name = nullptr;
    QPushButton* button = nullptr;
    QPushButton* cancel = nullptr;
    QLabel* takenMark = nullptr;
};
