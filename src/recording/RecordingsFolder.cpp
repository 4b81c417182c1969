#include "recording/RecordingsFolder.h"

#include <QFile>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

namespace {

// What the entry is; its inode is asked only for a plain file (or where the
// file system leaves the type out). Nothing when it went meanwhile.
std::optional<RecordingsFolder::Item> measure(int folder, const dirent& entry)
{
    if (entry.d_type != DT_REG && entry.d_type != DT_UNKNOWN)
        return RecordingsFolder::Item{};
    struct stat info { };
    if (::fstatat(folder, entry.d_name, &info, AT_SYMLINK_NOFOLLOW) != 0)
        return std::nullopt;
    if (!S_ISREG(info.st_mode))
        return RecordingsFolder::Item{};
    return RecordingsFolder::Item{true, static_cast<int64_t>(info.st_size)};
}

} // namespace

std::optional<bool> RecordingsFolder::look(const QString& folder)
{
    DIR* stream = ::opendir(QFile::encodeName(folder).constData());
    if (!stream) {
        known = false;
        entries.clear();
        return std::nullopt;
    }
    const uint64_t look = ++looks;
    const int descriptor = ::dirfd(stream);
    bool changed = !known;
    bool complete = true;
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(stream);
        if (!entry) {
            complete = errno == 0;
            break;
        }
        if (qstrcmp(entry->d_name, ".") == 0 || qstrcmp(entry->d_name, "..") == 0)
            continue;
        const QString name = QFile::decodeName(entry->d_name);
        if (const auto at = entries.find(name); at != entries.end() && at->item.plainFile && entry->d_type == DT_REG) {
            at->seenAtLook = look;
            continue;
        }
        const std::optional<Item> item = measure(descriptor, *entry);
        if (!item)
            continue;
        const auto at = entries.constFind(name);
        changed =
            changed || at == entries.cend() || at->item.plainFile != item->plainFile || at->item.size != item->size;
        entries.insert(name, Entry{*item, look});
    }
    ::closedir(stream);
    if (!complete) {
        known = false;
        entries.clear();
        return std::nullopt;
    }
    const qsizetype gone =
        entries.removeIf([look](std::pair<const QString&, Entry&> entry) { return entry.second.seenAtLook != look; });
    changed = changed || gone > 0;
    known = true;
    return changed;
}

void RecordingsFolder::put(const QString& name, Item item)
{
    entries.insert(name, Entry{item, looks});
}
