#pragma once

#include "base/NotificationCenter.h"
#include "core/input/KeyboardShortcut.h"

#include <QList>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include <memory>

class QCheckBox;
class QPushButton;
class KeyboardShortcutCaptureView;
class SettingsViewModel;

// The "Advanced" tab: the live-preview switch, the three shortcut rows with
// "Reset Shortcuts", the voice-activity switch and "Reset to Defaults"
// behind a confirmation.
class SettingsAdvancedTabView : public QWidget {
    Q_OBJECT
public:
    explicit SettingsAdvancedTabView(SettingsViewModel* viewModel, QWidget* parent = nullptr);
    ~SettingsAdvancedTabView() override;

    QCheckBox* streamingSwitch() const { return streaming; }
    QCheckBox* voiceActivitySwitch() const { return voiceActivity; }
    QList<KeyboardShortcutCaptureView*> shortcutRows() const { return rows; }
    QPushButton* resetShortcutsButton() const { return resetShortcuts; }
    QPushButton* resetToDefaultsButton() const { return resetDefaults; }
    // The "Reset Settings" confirmation while it is open.
    QMessageBox* resetConfirmation() const { return confirmation; }

private:
    void askToReset();

    class LateCaptureHost;
    SettingsViewModel* viewModel;
    std::unique_ptr<LateCaptureHost> captureHost;
    QCheckBox* streaming = nullptr;
    QCheckBox* voiceActivity = nullptr;
    QList<KeyboardShortcutCaptureView*> rows;
    QPushButton* resetShortcuts = nullptr;
    QPushButton* resetDefaults = nullptr;
    QPointer<QMessageBox> confirmation;
    NotificationObservation takenShortcutsChanges;
};
