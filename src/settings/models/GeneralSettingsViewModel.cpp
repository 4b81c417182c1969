#include "settings/models/GeneralSettingsViewModel.h"

#include "base/Log.h"
#include "base/Published.h"
#include "core/config/AppConfig.h"
#include "settings/models/LaunchServicesHelper.h"
#include "settings/models/TaskbarPresence.h"
#include "shell/AppEnvironment.h"

GeneralSettingsViewModel::GeneralSettingsViewModel(
    AppEnvironment& appEnvironment, std::shared_ptr<TaskbarPresence> taskbarPresence, QObject* parent)
    : QObject(parent), environment(&appEnvironment), taskbar(std::move(taskbarPresence))
{
    loadSettings();
    bound = true;
}

GeneralSettingsViewModel::~GeneralSettingsViewModel() = default;

void GeneralSettingsViewModel::loadSettings()
{
    setLaunchAtLogin(AppConfig::launchAtLogin());
    setShowDockIcon(AppConfig::showDockIcon());
    setEnableSoundEffects(AppConfig::enableSoundEffects());
    setInsertAfterRecording(AppConfig::insertAfterRecording());
    setCopyToClipboard(AppConfig::copyToClipboard());
}

void GeneralSettingsViewModel::setSelectedHotkey(const QString& value)
{
    publish(this, hotkey, value, &GeneralSettingsViewModel::selectedHotkeyChanged);
}

void GeneralSettingsViewModel::setLaunchAtLogin(bool value)
{
    startsAtLogin = value;
    emit launchAtLoginChanged(value);
    if (bound)
        updateLaunchAtLogin(value);
}

void GeneralSettingsViewModel::setShowDockIcon(bool value)
{
    showsTaskbarEntry = value;
    emit showDockIconChanged(value);
    if (bound)
        updateDockIconVisibility(value);
}

void GeneralSettingsViewModel::setEnableSoundEffects(bool value)
{
    soundEffects = value;
    emit enableSoundEffectsChanged(value);
    if (bound)
        AppConfig::setEnableSoundEffects(value);
}

void GeneralSettingsViewModel::setInsertAfterRecording(bool value)
{
    insertsText = value;
    emit insertAfterRecordingChanged(value);
    if (bound)
        AppConfig::setInsertAfterRecording(value);
}

void GeneralSettingsViewModel::setCopyToClipboard(bool value)
{
    copiesText = value;
    emit copyToClipboardChanged(value);
    if (bound)
        AppConfig::setCopyToClipboard(value);
}

void GeneralSettingsViewModel::updateLaunchAtLogin(bool enabled)
{
    AppConfig::setLaunchAtLogin(enabled);
    const std::optional<QString> failure =
        enabled ? LaunchServicesHelper::enableLaunchAtLogin() : LaunchServicesHelper::disableLaunchAtLogin();
    if (!failure)
        return;
    // The entry is as it was, so the switch and the store say so too.
    Log::system(QStringLiteral("[GeneralSettingsViewModel] Could not turn launch at login %1: %2")
                    .arg(enabled ? QStringLiteral("on") : QStringLiteral("off"), *failure));
    AppConfig::setLaunchAtLogin(!enabled);
    startsAtLogin = !enabled;
    emit launchAtLoginChanged(startsAtLogin);
}

void GeneralSettingsViewModel::updateDockIconVisibility(bool show)
{
    AppConfig::setShowDockIcon(show);
    if (taskbar)
        taskbar->setShowsTaskbarEntry(show);
}

void GeneralSettingsViewModel::resetToDefaults()
{
    setSelectedHotkey(QStringLiteral("Alt+W"));
    setLaunchAtLogin(false);
    setShowDockIcon(false);
    setEnableSoundEffects(true);
    setInsertAfterRecording(true);
    setCopyToClipboard(false);
}

void GeneralSettingsViewModel::recordNewHotkey() { }
