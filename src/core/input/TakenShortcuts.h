#pragma once

#include "core/input/KeyboardShortcut.h"
#include "platform/AlertPresenter.h"

#include <QList>

// The shortcuts another program holds: on X11 the server refuses a grab that
// another client has (a desktop's own shortcut, another dictation tool). The
// user is told about each of them once per run, however often it is refused
// again, and Settings marks them.
class TakenShortcuts {
public:
    // Posted in-process whenever the set changes, so that marks follow it.
    static inline const QString changedNotification = QStringLiteral("TakenShortcutsChanged");

    // Replaces the set; returns the shortcuts in it not announced before.
    QList<KeyboardShortcut> update(const QList<KeyboardShortcut>& taken);
    bool contains(const KeyboardShortcut& shortcut) const { return current.contains(shortcut); }

    // What the user is told when `shortcut` is taken, at start-up or when
    // captured in Settings.
    static Alert alertFor(const KeyboardShortcut& shortcut);
    static QString markText() { return QStringLiteral("Taken by another program"); }

private:
    QList<KeyboardShortcut> current;
    QList<KeyboardShortcut> announced;
};
