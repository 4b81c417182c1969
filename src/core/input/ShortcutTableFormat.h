#pragma once

#include "core/input/KeyboardShortcut.h"

#include <QByteArray>
#include <QMap>

#include <optional>

// Action-to-shortcut table; iterates in action declaration order.
using ShortcutTable = QMap<ShortcutAction, KeyboardShortcut>;

// The stored form of the shortcut table: compact UTF-8 JSON, one flat array
// alternating an action's raw value and its shortcut object
// {"keyCode": n, "modifierFlags": n}.
namespace ShortcutTableFormat {

QByteArray encode(const ShortcutTable& table);
// Nothing for anything but that exact shape: an odd length, an unknown
// action, a missing or non-integer member, or a number outside its field's
// range makes the whole value unreadable. Extra members are ignored and a
// repeated action keeps its last shortcut.
std::optional<ShortcutTable> decode(const QByteArray& data);

} // namespace ShortcutTableFormat
