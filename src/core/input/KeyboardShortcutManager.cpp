#include "core/input/KeyboardShortcutManager.h"

#include "base/Defaults.h"

KeyboardShortcutManager& KeyboardShortcutManager::shared()
{
    static KeyboardShortcutManager instance;
    return instance;
}

KeyboardShortcutManager::KeyboardShortcutManager()
{
    loadShortcuts();
}

void KeyboardShortcutManager::loadShortcuts()
{
    // Only a bytes value is the stored format; anything else reads as absent.
    const QVariant stored = Defaults::value(userDefaultsKey);
    std::optional<ShortcutTable> decoded;
    if (stored.typeId() == QMetaType::QByteArray)
        decoded = ShortcutTableFormat::decode(stored.toByteArray());
    setTable(decoded.value_or(ShortcutTable{}));
    for (ShortcutAction action : ShortcutAction::allCases()) {
        if (!shortcutTable.contains(action))
            setEntry(action, action.defaultShortcut());
    }
}

KeyboardShortcut KeyboardShortcutManager::shortcut(ShortcutAction action) const
{
    return shortcutTable.value(action, action.defaultShortcut());
}

std::optional<ShortcutAction> KeyboardShortcutManager::action(uint16_t eventKeyCode, uint64_t eventFlags) const
{
    for (auto it = shortcutTable.cbegin(); it != shortcutTable.cend(); ++it) {
        if (it.value().matches(eventKeyCode, eventFlags))
            return it.key();
    }
    return std::nullopt;
}

void KeyboardShortcutManager::updateShortcut(ShortcutAction action, const KeyboardShortcut& shortcut)
{
    std::optional<ShortcutAction> conflicting;
    for (auto it = shortcutTable.cbegin(); it != shortcutTable.cend(); ++it) {
        if (it.key() != action && it.value() == shortcut) {
            conflicting = it.key();
            break;
        }
    }
    if (conflicting) {
        if (const auto current = shortcutTable.constFind(action); current != shortcutTable.cend()) {
            const KeyboardShortcut previous = *current;
            setEntry(*conflicting, previous);
        } else {
            shortcutTable.remove(*conflicting);
            emit shortcutsChanged();
        }
    }
    setEntry(action, shortcut);
    saveShortcuts();
}

void KeyboardShortcutManager::resetToDefaults()
{
    setTable({});
    for (ShortcutAction action : ShortcutAction::allCases())
        setEntry(action, action.defaultShortcut());
    saveShortcuts();
}

void KeyboardShortcutManager::setEntry(ShortcutAction action, const KeyboardShortcut& shortcut)
{
    shortcutTable.insert(action, shortcut);
    emit shortcutsChanged();
}

void KeyboardShortcutManager::setTable(const ShortcutTable& table)
{
    shortcutTable = table;
    emit shortcutsChanged();
}

void KeyboardShortcutManager::saveShortcuts()
{
    Defaults::setValue(userDefaultsKey, ShortcutTableFormat::encode(shortcutTable));
}
