#include "shell/windows/SettingsShortcut.h"

#include <QShortcut>
#include <QWidget>

namespace SettingsShortcut {

QShortcut* install(QWidget* window, std::function<void()> openSettings)
{
    auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma), window);
    shortcut->setContext(Qt::WindowShortcut);
    QObject::connect(shortcut, &QShortcut::activated, window, std::move(openSettings));
    return shortcut;
}

} // namespace SettingsShortcut
