#include "recording/RecordingsArchive.h"

#include "recording/ByteCounts.h"

#include <QFile>

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

bool RecordingsArchive::deleteRecording(const QString& filename)
{
    if (removeRecordingFile(filename) == Removal::Failed)
        return false;
    const RecordingsIndex::Contents index = loadForRewrite();
    QList<RecordingMetadata> remaining;
    for (const RecordingMetadata& entry : index.entries) {
        if (entry.filename != filename)
            remaining.append(entry);
    }
    rewriteIndex(index, remaining, QStringLiteral("Failed to update metadata after deletion: "));
    return true;
}

void RecordingsArchive::deleteAllRecordings()
{
    const RecordingsIndex::Contents index = loadForRewrite();
    for (const RecordingMetadata& entry : newestFirst(index.entries))
        removeRecordingFile(entry.filename);

    // An index that could not be read still names recordings: keep it.
    if (index.unreadable) {
        QString error;
        keepUnreadableIndexAside(error);
        return;
    }
    QFile::remove(metadataFile());
}

int64_t RecordingsArchive::getTotalStorageUsed()
{
    int64_t total = 0;
    for (const RecordingMetadata& entry : getRecordings())
        total = ByteCounts::add(total, entry.fileSize);
    return total;
}
