#pragma once

#include <QHash>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>

// Edits of the settings store that could not be written (a full disk, a
// folder the user may not write), kept in memory so that nothing the user
// set is lost: the next write carries them along. One backlog for the
// process; every call may come from any thread.
namespace SettingsBacklog {

// Per key the value to write, or nothing for a key to remove.
using Edits = QHash<QString, std::optional<QVariant>>;

// Keeps `edits`, newer than any kept before, with the reason they failed.
// True when the backlog was empty or held another reason until now.
bool keep(const Edits& edits, const QString& reason);
// Writes the kept edits into `settings`, except the keys of `newer`.
// True when there were any.
bool applyTo(QSettings& settings, const Edits& newer);
// Forgets every kept edit; true when there were any.
bool discard();

// What a reader must see for `key` while it is unsaved: the value, or an
// invalid variant for a removed key. Nothing when the key is not kept.
std::optional<QVariant> lookup(const QString& key);
bool isEmpty();
// The keys kept, sorted.
QStringList keys();
// Why the kept edits are not on disk; empty while nothing is kept.
QString reason();

} // namespace SettingsBacklog
