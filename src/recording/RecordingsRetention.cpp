#include "recording/RecordingsArchive.h"

#include "recording/ByteCounts.h"

#include <QSet>

#include <algorithm>

void RecordingsArchive::performMaintenance()
{
    // Age first, so recordings removed for their age no longer count
    // towards the size limit.
    deleteOldRecordings();
    enforceStorageLimit();
}

void RecordingsArchive::deleteOldRecordings()
{
    const double now = RecordingMetadata::timestampFrom(environment_.now());
    const double cutoff = now + static_cast<double>(environment_.autoDeleteAfterDays()) * -24 * 60 * 60;

    const RecordingsIndex::Contents index = loadForRewrite();
    QSet<QString> expiredNames;
    for (const RecordingMetadata& entry : index.entries) {
        if (entry.timestamp < cutoff) {
            removeRecordingFile(entry.filename);
            expiredNames.insert(entry.filename);
        }
    }
    if (expiredNames.isEmpty())
        return;

    QList<RecordingMetadata> remaining;
    for (const RecordingMetadata& entry : index.entries) {
        if (!expiredNames.contains(entry.filename))
            remaining.append(entry);
    }
    rewriteIndex(index, remaining, QStringLiteral("Failed to update metadata after deletion: "));
}

void RecordingsArchive::enforceStorageLimit()
{
    const int64_t limit = ByteCounts::fromMegabytes(environment_.maxStorageSizeMB());

    const RecordingsIndex::Contents index = loadForRewrite();
    QList<RecordingMetadata> sorted = index.entries;
    std::stable_sort(sorted.begin(), sorted.end(),
        [](const RecordingMetadata& a, const RecordingMetadata& b) { return a.timestamp < b.timestamp; });

    int64_t total = 0;
    for (const RecordingMetadata& entry : sorted)
        total = ByteCounts::add(total, entry.fileSize);

    bool removedAny = false;
    qsizetype next = 0;
    while (total > limit && next < sorted.size()) {
        const RecordingMetadata& oldest = sorted.at(next++);
        // A file that is already gone frees its recorded size as well;
        // counting it as still present would delete one more real recording.
        if (removeRecordingFile(oldest.filename) != Removal::Failed) {
            total = ByteCounts::subtract(total, oldest.fileSize);
            removedAny = true;
        }
    }
    if (!removedAny)
        return;

    rewriteIndex(index, sorted.mid(next), QStringLiteral("Failed to update metadata after storage cleanup: "));
}
