#include "core/input/TakenShortcuts.h"

#include "base/NotificationCenter.h"

QList<KeyboardShortcut> TakenShortcuts::update(const QList<KeyboardShortcut>& taken)
{
    // Settings marks the taken ones; it may have heard of a change of the
    // shortcuts before this, or of none at all (arming, resuming).
    if (taken != current) {
        current = taken;
        NotificationCenter::shared().post(changedNotification);
    }
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
