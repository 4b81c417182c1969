#pragma once

#include <functional>

class QShortcut;
class QWidget;

// Ctrl+, opens Settings. A window's own shortcut works only while that
// window has the focus, and the tray menu is a window of its own, so every
// window of the tool gets one.
namespace SettingsShortcut {

QShortcut* install(QWidget* window, std::function<void()> openSettings);

} // namespace SettingsShortcut
