#include "recording/RecordingsArchive.h"

#include "recording/ByteCounts.h"

#include <QFile>
#include <QHash>
#include <QSet>

#include <algorithm>
#include <filesystem>

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
    return removeRecordings(filenames, Leftovers::Keep);
}

QStringList RecordingsArchive::clearRecordings(const QStringList& filenames)
{
    return removeRecordings(filenames, Leftovers::ForgetMissingFiles);
}

QStringList RecordingsArchive::removeRecordings(const QStringList& filenames, Leftovers leftovers)
{
    QSet<QString> gone;
    for (const QString& filename : filenames) {
        if (!gone.contains(filename) && removeRecordingFile(filename) != Removal::Failed)
            gone.insert(filename);
    }
    const QStringList removed = gone.values();
    if (gone.isEmpty() && leftovers == Leftovers::Keep)
        return {};

    const RecordingsIndex::Contents index = loadForRewrite();
    QList<qsizetype> kept;
    for (qsizetype i = 0; i < index.entries.size(); ++i) {
        const QString& name = index.entries.at(i).filename;
        if (gone.contains(name))
            continue;
        if (leftovers == Leftovers::ForgetMissingFiles && isSurelyMissing(name)) {
            gone.insert(name);
            continue;
        }
        kept.append(i);
    }
    // A clear-up that found nothing to drop leaves the index as it is.
    if (!removed.isEmpty() || kept.size() < index.entries.size())
        rewriteIndex(index, kept, {}, gone.values(), QStringLiteral("Failed to update metadata after deletion: "));
    return removed;
}

bool RecordingsArchive::isSurelyMissing(const QString& filename) const
{
    // Asked of the file itself, not of the folder's top level: an entry may
    // name a file below a sub-folder. A file that cannot be looked at (no
    // permission) may still be there.
    std::error_code error;
    const auto status = std::filesystem::symlink_status(
        QFile::encodeName(recordingsDirectory() + QLatin1Char('/') + filename).toStdString(), error);
    return status.type() == std::filesystem::file_type::not_found;
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
