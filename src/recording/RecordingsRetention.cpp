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
        if (entry.timestamp < cutoff && !expiredNames.contains(entry.filename)) {
            if (removeRecordingFile(entry.filename) == Removal::Removed)
                Log::out(QStringLiteral("Retention removed %1: older than %2 days").arg(entry.filename).arg(days));
            expiredNames.insert(entry.filename);
        }
    }
    if (expiredNames.isEmpty())
        return;

    QList<qsizetype> kept;
    for (qsizetype i = 0; i < index.entries.size(); ++i) {
        if (!expiredNames.contains(index.entries.at(i).filename))
            kept.append(i);
    }
    rewriteIndex(index, kept, {}, expiredNames.values(), QStringLiteral("Failed to update metadata after deletion: "));
}

int64_t RecordingsArchive::sizeOnDisk(const QString& filename)
{
    if (!isPlainFileName(filename))
        return 0;
    if (folderContents.isKnown())
        return folderContents.item(filename).size;
    const QFileInfo info(recordingsDirectory() + QLatin1Char('/') + filename);
    return info.isFile() && !info.isSymLink() ? info.size() : 0;
}

void RecordingsArchive::lookAtFolder()
{
    // Anything seen to change, or a folder that cannot be read, has the kept
    // total summed again.
    if (folderContents.look(recordingsDirectory()) != std::optional<bool>(false))
        storageTotalGeneration.reset();
}

int64_t RecordingsArchive::storageOnDisk(const RecordingsIndex::Contents& index)
{
    if (storageTotalGeneration != indexCache.generation()) {
        storageTotal = 0;
        for (const RecordingMetadata& entry : index.entries)
            storageTotal = ByteCounts::add(storageTotal, sizeOnDisk(entry.filename));
        storageTotalGeneration = indexCache.generation();
    }
    return storageTotal;
}

void RecordingsArchive::enforceStorageLimit()
{
    const int64_t limit = ByteCounts::fromMegabytes(archiveEnvironment.maxStorageSizeMB());

    // What the files take, not what the index claims: an entry with a stale
    // or huge size and no file must not push real recordings out.
    const RecordingsIndex::Contents index = loadForRewrite();
    const bool lookedNow = !folderContents.isKnown();
    if (lookedNow)
        lookAtFolder();
    int64_t total = storageOnDisk(index);
    if (total <= limit)
        return;
    // Over by the last look. A recording removed by other means since then
    // would still count there: look again before removing a real one.
    if (!lookedNow) {
        lookAtFolder();
        total = storageOnDisk(index);
        if (total <= limit)
            return;
    }

    QList<qsizetype> oldestFirst = allPositions(index.entries.size());
    std::stable_sort(oldestFirst.begin(), oldestFirst.end(),
        [&](qsizetype a, qsizetype b) { return index.entries.at(a).timestamp < index.entries.at(b).timestamp; });

    // An entry whose file cannot be removed stays listed: the file is there.
    QList<qsizetype> kept;
    QStringList removed;
    qsizetype next = 0;
    while (total > limit && next < oldestFirst.size()) {
        const qsizetype at = oldestFirst.at(next++);
        const RecordingMetadata& oldest = index.entries.at(at);
        const int64_t size = sizeOnDisk(oldest.filename);
        const Removal removal = removeRecordingFile(oldest.filename);
        if (removal == Removal::Failed) {
            kept.append(at);
            continue;
        }
        if (removal == Removal::Removed)
            Log::out(QStringLiteral("Retention removed %1: recordings take %2 bytes, over the limit of %3 bytes")
                         .arg(oldest.filename)
                         .arg(total)
                         .arg(limit));
        total = ByteCounts::subtract(total, size);
        removed.append(oldest.filename);
    }
    if (removed.isEmpty())
        return;

    kept.append(oldestFirst.mid(next));
    rewriteIndex(index, kept, {}, removed, QStringLiteral("Failed to update metadata after storage cleanup: "));
}
