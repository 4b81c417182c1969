#include "recording/RecordingsArchive.h"

#include "base/Log.h"
#include "recording/ByteCounts.h"

#include <QFileInfo>
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
    const int64_t days = archiveEnvironment.autoDeleteAfterDays();
    const double now = RecordingMetadata::timestampFrom(archiveEnvironment.now());
    const double cutoff = now + static_cast<double>(days) * -24 * 60 * 60;

    const RecordingsIndex::Contents index = loadForRewrite();
    QSet<QString> expiredNames;
    for (const RecordingMetadata& entry : index.entries) {
        if (entry.timestamp < cutoff) {
            if (removeRecordingFile(entry.filename) == Removal::Removed)
                Log::out(QStringLiteral("Retention removed %1: older than %2 days").arg(entry.filename).arg(days));
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

int64_t RecordingsArchive::sizeOnDisk(const QString& filename) const
{
    if (!isPlainFileName(filename))
        return 0;
    const QFileInfo info(recordingsDirectory() + QLatin1Char('/') + filename);
    return info.isFile() && !info.isSymLink() ? info.size() : 0;
}

void RecordingsArchive::enforceStorageLimit()
{
    const int64_t limit = ByteCounts::fromMegabytes(archiveEnvironment.maxStorageSizeMB());

    const RecordingsIndex::Contents index = loadForRewrite();
    QList<RecordingMetadata> sorted = index.entries;
    std::stable_sort(sorted.begin(), sorted.end(),
        [](const RecordingMetadata& a, const RecordingMetadata& b) { return a.timestamp < b.timestamp; });

    // What the files take, not what the index claims: an entry with a stale
    // or huge size and no file must not push real recordings out.
    QList<int64_t> sizes;
    int64_t total = 0;
    for (const RecordingMetadata& entry : sorted) {
        sizes.append(sizeOnDisk(entry.filename));
        total = ByteCounts::add(total, sizes.last());
    }

    bool removedAny = false;
    qsizetype next = 0;
    while (total > limit && next < sorted.size()) {
        const qsizetype at = next++;
        const RecordingMetadata& oldest = sorted.at(at);
        const Removal removal = removeRecordingFile(oldest.filename);
        if (removal == Removal::Failed)
            continue;
        if (removal == Removal::Removed)
            Log::out(QStringLiteral("Retention removed %1: recordings take %2 bytes, over the limit of %3 bytes")
                         .arg(oldest.filename)
                         .arg(total)
                         .arg(limit));
        total = ByteCounts::subtract(total, sizes.at(at));
        removedAny = true;
    }
    if (!removedAny)
        return;

    rewriteIndex(index, sorted.mid(next), QStringLiteral("Failed to update metadata after storage cleanup: "));
}
