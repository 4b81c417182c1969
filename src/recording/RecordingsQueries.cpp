#include "recording/RecordingsArchive.h"

#include "recording/ByteCounts.h"

#include <QFile>
#include <QHash>
#include <QSet>

#include <algorithm>

namespace {

// Stable, so recordings saved at the same moment keep their index order.
QList<RecordingMetadata> newestFirst(QList<RecordingMetadata> entries)
{
    std::stable_sort(entries.begin(), entries.end(),
        [](const RecordingMetadata& a, const RecordingMetadata& b) { return a.timestamp > b.timestamp; });
    return entries;
}

} // namespace

QList<RecordingMetadata> RecordingsArchive::getRecordings()
{
    return newestFirst(loadMetadata());
}

QList<RecordingMetadata> RecordingsArchive::getRecordings(uint64_t& generation, uint64_t& folder)
{
    QList<RecordingMetadata> entries = getRecordings();
    generation = indexCache.generation();
    folder = folderVersion();
    return entries;
}

uint64_t RecordingsArchive::folderVersion() const
{
    const RecordingsIndexCache::Stamp stamp = RecordingsIndexCache::stampOf(recordingsDirectory());
    return qHashMulti(0, stamp.exists, stamp.device, stamp.inode, stamp.modifiedNs, stamp.changedNs);
}

bool RecordingsArchive::deleteRecording(const QString& filename)
{
    return !deleteRecordings({filename}).isEmpty();
}

QStringList RecordingsArchive::deleteRecordings(const QStringList& filenames)
{
    QSet<QString> gone;
    for (const QString& filename : filenames) {
        if (!gone.contains(filename) && removeRecordingFile(filename) != Removal::Failed)
            gone.insert(filename);
    }
    if (gone.isEmpty())
        return {};
    const QStringList removed = gone.values();

    // Entries whose files were removed by other means go as well, so that
    // clearing every listed recording leaves no entry behind. Nothing is
    // dropped when the folder could not be read.
    const RecordingsIndex::Contents index = loadForRewrite();
    lookAtFolder();
    QList<qsizetype> kept;
    for (qsizetype i = 0; i < index.entries.size(); ++i) {
        const QString& name = index.entries.at(i).filename;
        if (gone.contains(name))
            continue;
        if (folderContents.isKnown() && !folderContents.contains(name)) {
            gone.insert(name);
            continue;
        }
        kept.append(i);
    }
    rewriteIndex(index, kept, {}, gone.values(), QStringLiteral("Failed to update metadata after deletion: "));
    return removed;
}

QStringList RecordingsArchive::deleteAllRecordings()
{
    const RecordingsIndex::Contents index = loadForRewrite();
    QSet<QString> gone;
    for (const RecordingMetadata& entry : newestFirst(index.entries)) {
        if (!gone.contains(entry.filename) && removeRecordingFile(entry.filename) != Removal::Failed)
            gone.insert(entry.filename);
    }
    const QStringList removed = gone.values();

    // An index that could not be read still names recordings: keep it.
    if (index.unreadable) {
        QString error;
        keepUnreadableIndexAside(error);
        return removed;
    }
    QFile::remove(metadataFile());
    indexCache.forgetFile(metadataFile());
    announce({}, removed);
    return removed;
}

int64_t RecordingsArchive::getTotalStorageUsed()
{
    int64_t total = 0;
    for (const RecordingMetadata& entry : loadMetadata())
        total = ByteCounts::add(total, entry.fileSize);
    return total;
}
