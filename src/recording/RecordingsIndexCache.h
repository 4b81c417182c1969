#pragma once

#include "recording/RecordingsIndex.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>

// The index as last read or written, kept in memory so that a change costs
// what it changes: each entry keeps its encoded bytes, and the file is read
// again only when something other than this cache replaced it (its identity
// on disk no longer matches). Not thread-safe: the archive's queue owns it.
class RecordingsIndexCache {
public:
    // The index in `path`, read from disk only when the file changed since
    // this cache last read or wrote it.
    const RecordingsIndex::Contents& current(const QString& path);

    // Replaces the file atomically with the entries at `kept` (positions in
    // the current entries, in the order wanted) followed by `added`. Only the
    // added entries are encoded; nothing is read back.
    bool rewrite(
        const QString& path, const QList<qsizetype>& kept, const QList<RecordingMetadata>& added, QString& error);

    // The file was removed or moved aside: the index is empty now.
    void forgetFile(const QString& path);

    // Counts every change of the index seen or made by this cache, so that
    // a listing can tell whether it is still up to date.
    uint64_t generation() const { return changes; }

    // Identity of a file on disk: equal stamps mean the same bytes as far
    // as anyone writing through a rename or in place can tell.
    struct Stamp {
        bool exists = false;
        uint64_t device = 0;
        uint64_t inode = 0;
        int64_t size = 0;
        int64_t modifiedNs = 0;
        int64_t changedNs = 0;
        bool operator==(const Stamp&) const = default;
    };
    static Stamp stampOf(const QString& path);

private:
    void reload(const QString& path, const Stamp& stamp);

    QString cachedPath;
    Stamp cachedStamp;
    bool loaded = false;
    RecordingsIndex::Contents contents;
    QList<QByteArray> encoded; // one per entry of `contents`, same order
    uint64_t changes = 0;
};
