#pragma once

#include <QHash>
#include <QString>

#include <cstdint>
#include <optional>

// What the recordings folder holds at its top, as last looked at: the
// archive counts recordings by what is there, not by what its index or an
// earlier save claimed. Not thread-safe: the archive's queue owns it.
class RecordingsFolder {
public:
    struct Item {
        bool plainFile = false; // not a link, folder or other special file
        int64_t size = 0; // bytes of a plain file; 0 for anything else
    };

    // Reads the folder's entries again. A plain file already known keeps its
    // size; only the others are measured. Answers whether the listing
    // changed; nothing when the folder could not be read to its end (a
    // partial listing would make recordings that are there look gone): then
    // nothing is known until the next look.
    std::optional<bool> look(const QString& folder);
    bool isKnown() const { return known; }

    bool contains(const QString& name) const { return entries.contains(name); }
    Item item(const QString& name) const { return entries.value(name).item; }
    // The archive's own writes and removals, between two looks.
    void put(const QString& name, Item item);
    void remove(const QString& name) { entries.remove(name); }

    template <typename Visit> void forEach(Visit visit) const
    {
        for (auto entry = entries.cbegin(); entry != entries.cend(); ++entry)
            visit(entry.key(), entry->item);
    }

private:
    struct Entry {
        Item item;
        uint64_t seenAtLook = 0;
    };
    QHash<QString, Entry> entries;
    uint64_t looks = 0;
    bool known = false;
};
