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
        if (!shortcuts_.contains(action))
            setEntry(action, action.defaultShortcut());
    }
}

KeyboardShortcut KeyboardShortcutManager::shortcut(ShortcutAction action) const
{
    return shortcuts_.value(action, action.defaultShortcut());
}

std::optional<ShortcutAction> KeyboardShortcutManager::action(uint16_t eventKeyCode, uint64_t eventFlags) const
{
    for (auto it = shortcuts_.cbegin(); it != shortcuts_.cend(); ++it) {
        if (it.value().matches(eventKeyCode, eventFlags))
            return it.key();
    }
    return std::nullopt;
}

void KeyboardShortcutManager::updateShortcut(ShortcutAction action, const KeyboardShortcut& shortcut)
{
    std::optional<ShortcutAction> conflicting;
    for (auto it = shortcuts_.cbegin(); it != shortcuts_.cend(); ++it) {
        if (it.key() != action && it.value() == shortcut) {
            conflicting = it.key();
            break;
        }
    }
    if (conflicting) {
        if (const auto current = shortcuts_.constFind(action); current != shortcuts_.cend()) {
            const KeyboardShortcut previous = *current;
            setEntry(*conflicting, previous);
        } else {
            shortcuts_.remove(*conflicting);
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
    shortcuts_.insert(action, shortcut);
    emit shortcutsChanged();
}

void KeyboardShortcutManager::setTable(const ShortcutTable& table)
{
    shortcuts_ = table;
    emit shortcutsChanged();
}

void KeyboardShortcutManager::saveShortcuts()
{
    Defaults::setValue(userDefaultsKey, ShortcutTableFormat::encode(shortcuts_));
}
