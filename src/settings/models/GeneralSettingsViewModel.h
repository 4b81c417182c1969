#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class AppEnvironment;
class TaskbarPresence;

// The general settings: the hotkey's text, launch at login, the taskbar
// entry, sound effects, inserting the text after a recording and copying it
// to the clipboard. It shows the stored switches and, after loading, writes
// every assignment back to the store; launch at login and the taskbar entry
// also take effect at once. Main thread only.
class GeneralSettingsViewModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString selectedHotkey READ selectedHotkey WRITE setSelectedHotkey NOTIFY selectedHotkeyChanged)
    Q_PROPERTY(bool launchAtLogin READ launchAtLogin WRITE setLaunchAtLogin NOTIFY launchAtLoginChanged)
    Q_PROPERTY(bool showDockIcon READ showDockIcon WRITE setShowDockIcon NOTIFY showDockIconChanged)
    Q_PROPERTY(
        bool enableSoundEffects READ enableSoundEffects WRITE setEnableSoundEffects NOTIFY enableSoundEffectsChanged)
    Q_PROPERTY(bool insertAfterRecording READ insertAfterRecording WRITE setInsertAfterRecording NOTIFY
            insertAfterRecordingChanged)
    Q_PROPERTY(bool copyToClipboard READ copyToClipboard WRITE setCopyToClipboard NOTIFY copyToClipboardChanged)

public:
    // The hub is kept, not used. Without a taskbar presence the switch is
    // only stored.
    explicit GeneralSettingsViewModel(
        AppEnvironment& appEnvironment, std::shared_ptr<TaskbarPresence> taskbar = {}, QObject* parent = nullptr);
    ~GeneralSettingsViewModel() override;

    const QString& selectedHotkey() const { return hotkey; }
    // Display only: stored nowhere.
    void setSelectedHotkey(const QString& value);
    bool launchAtLogin() const { return startsAtLogin; }
    // Writes or removes the autostart entry; when that fails, the switch and
    // its stored value go back and the reason is logged.
    void setLaunchAtLogin(bool value);
    bool showDockIcon() const { return showsTaskbarEntry; }
    void setShowDockIcon(bool value);
    bool enableSoundEffects() const { return soundEffects; }
    void setEnableSoundEffects(bool value);
    bool insertAfterRecording() const { return insertsText; }
    void setInsertAfterRecording(bool value);
    bool copyToClipboard() const { return copiesText; }
    void setCopyToClipboard(bool value);

    // Every switch back to its default, applied and stored as by the user.
    void resetToDefaults();
    // Kept for the page's "record" control; it has nothing to do yet.
    void recordNewHotkey();

signals:
    void selectedHotkeyChanged(const QString& value);
    void launchAtLoginChanged(bool value);
    void showDockIconChanged(bool value);
    void enableSoundEffectsChanged(bool value);
    void insertAfterRecordingChanged(bool value);
    void copyToClipboardChanged(bool value);

private:
    void loadSettings();
    void updateLaunchAtLogin(bool enabled);
    void updateDockIconVisibility(bool show);

    QString hotkey = QStringLiteral("Alt+W");
    bool startsAtLogin = false;
    bool showsTaskbarEntry = false;
    bool soundEffects = true;
    bool insertsText = true;
    bool copiesText = false;
    QPointer<AppEnvironment> environment;
    std::shared_ptr<TaskbarPresence> taskbar;
    // Off while loading, so the load writes nothing back.
    bool bound = false;
};
