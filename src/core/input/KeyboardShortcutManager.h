#pragma once

#include "core/input/KeyboardShortcut.h"
#include "core/input/ShortcutTableFormat.h"

#include <QObject>

#include <optional>

// The process-wide table that gives each action its shortcut, kept in the
// defaults store under "CustomKeyboardShortcuts". Used on the main thread.
class KeyboardShortcutManager : public QObject {
    Q_OBJECT
    // Holds an entry for every action after construction. Every change
    // emits, including a reset's empty table and each entry it then sets.
    Q_PROPERTY(ShortcutTable shortcuts READ shortcuts NOTIFY shortcutsChanged)

public:
    static KeyboardShortcutManager& shared();

    static inline const QString userDefaultsKey = QStringLiteral("CustomKeyboardShortcuts");

    const ShortcutTable& shortcuts() const { return shortcutTable; }

    // The stored shortcut, or the action's default when it has none.
    KeyboardShortcut shortcut(ShortcutAction action) const;
    // The first action, in table order, whose shortcut matches the event.
    std::optional<ShortcutAction> action(uint16_t eventKeyCode, uint64_t eventFlags) const;

    // Assigns the shortcut; an action that held it takes over this action's
    // old shortcut (or loses its entry when there was none). Then stores.
    void updateShortcut(ShortcutAction action, const KeyboardShortcut& shortcut);
    void resetToDefaults();

    // Reads the table from the store, filling in defaults for missing
    // actions; an absent or unreadable value gives the defaults. Writes
    // nothing. Runs at construction; tests call it again after changing the
    // store.
    void loadShortcuts();

signals:
    void shortcutsChanged();

private:
    KeyboardShortcutManager();

    void setEntry(ShortcutAction action, const KeyboardShortcut& shortcut);
    void setTable(const ShortcutTable& table);
    void saveShortcuts();

    ShortcutTable shortcutTable;
};
