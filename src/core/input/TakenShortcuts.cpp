#include "core/input/TakenShortcuts.h"

QList<KeyboardShortcut> TakenShortcuts::update(const QList<KeyboardShortcut>& taken)
{
    current = taken;
    QList<KeyboardShortcut> fresh;
    for (const KeyboardShortcut& shortcut : taken) {
        if (announced.contains(shortcut))
            continue;
        announced.append(shortcut);
        fresh.append(shortcut);
    }
    return fresh;
}

Alert TakenShortcuts::alertFor(const KeyboardShortcut& shortcut)
{
    return Alert{QStringLiteral("Shortcut Unavailable"),
        QStringLiteral("Another program already uses %1, so Tallowind cannot use it. Choose another shortcut in "
                       "Settings \u2192 Advanced.")
            .arg(shortcut.displayString()),
        AlertStyle::Warning, {QStringLiteral("OK")}};
}
