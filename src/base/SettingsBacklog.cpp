#include "base/SettingsBacklog.h"

#include <mutex>

namespace SettingsBacklog {
namespace {

struct Backlog {
    std::mutex mutex;
    Edits edits;
    QString reason;
};

Backlog& backlog()
{
    static Backlog shared;
    return shared;
}

} // namespace

bool keep(const Edits& edits, const QString& reason)
{
    Backlog& kept = backlog();
    std::lock_guard lock(kept.mutex);
    for (auto it = edits.begin(); it != edits.end(); ++it)
        kept.edits.insert(it.key(), it.value());
    const bool news = kept.reason != reason;
    kept.reason = reason;
    return news;
}

bool applyTo(QSettings& settings, const Edits& newer)
{
    Backlog& kept = backlog();
    std::lock_guard lock(kept.mutex);
    for (auto it = kept.edits.begin(); it != kept.edits.end(); ++it) {
        if (newer.contains(it.key()))
            continue;
        if (it.value())
            settings.setValue(it.key(), *it.value());
        else
            settings.remove(it.key());
    }
    return !kept.edits.isEmpty();
}

bool discard()
{
    Backlog& kept = backlog();
    std::lock_guard lock(kept.mutex);
    const bool had = !kept.edits.isEmpty() || !kept.reason.isEmpty();
    kept.edits.clear();
    kept.reason.clear();
    return had;
}

std::optional<QVariant> lookup(const QString& key)
{
    Backlog& kept = backlog();
    std::lock_guard lock(kept.mutex);
    const auto found = kept.edits.constFind(key);
    if (found == kept.edits.constEnd())
        return std::nullopt;
    return found.value().value_or(QVariant());
}

bool isEmpty()
{
    Backlog& kept = backlog();
    std::lock_guard lock(kept.mutex);
    return kept.edits.isEmpty() && kept.reason.isEmpty();
}

QStringList keys()
{
    Backlog& kept = backlog();
    std::lock_guard lock(kept.mutex);
    QStringList names = kept.edits.keys();
    names.sort();
    return names;
}

QString reason()
{
    Backlog& kept = backlog();
    std::lock_guard lock(kept.mutex);
    return kept.reason;
}

} // namespace SettingsBacklog
