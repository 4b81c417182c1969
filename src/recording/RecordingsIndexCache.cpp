#include "recording/RecordingsIndexCache.h"

#include <QFile>
#include <QSaveFile>

#include <sys/stat.h>

RecordingsIndexCache::Stamp RecordingsIndexCache::stampOf(const QString& path)
{
    struct stat info { };
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return {};
    Stamp stamp;
    stamp.exists = true;
    stamp.device = static_cast<uint64_t>(info.st_dev);
    stamp.inode = static_cast<uint64_t>(info.st_ino);
    stamp.size = static_cast<int64_t>(info.st_size);
    stamp.modifiedNs = static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    stamp.changedNs = static_cast<int64_t>(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec;
    return stamp;
}

const RecordingsIndex::Contents& RecordingsIndexCache::current(const QString& path)
{
    const Stamp stamp = stampOf(path);
    if (!loaded || path != cachedPath || stamp != cachedStamp)
        reload(path, stamp);
    return contents;
}

void RecordingsIndexCache::reload(const QString& path, const Stamp& stamp)
{
    RecordingsIndex::Contents fresh = RecordingsIndex::load(path);
    const bool same =
        loaded && path == cachedPath && !fresh.unreadable && !contents.unreadable && fresh.entries == contents.entries;
    contents = std::move(fresh);
    encoded.clear();
    encoded.reserve(contents.entries.size());
    for (const RecordingMetadata& entry : std::as_const(contents.entries))
        encoded.append(RecordingsIndexCodec::encodeRecord(entry));
    cachedPath = path;
    cachedStamp = stamp;
    loaded = true;
    if (!same)
        ++changes;
}

bool RecordingsIndexCache::rewrite(
    const QString& path, const QList<qsizetype>& kept, const QList<RecordingMetadata>& added, QString& error)
{
    RecordingsIndex::Contents next;
    QList<QByteArray> nextEncoded;
    next.entries.reserve(kept.size() + added.size());
    nextEncoded.reserve(kept.size() + added.size());
    for (qsizetype at : kept) {
        next.entries.append(contents.entries.at(at));
        nextEncoded.append(encoded.at(at));
    }
    for (const RecordingMetadata& entry : added) {
        next.entries.append(entry);
        nextEncoded.append(RecordingsIndexCodec::encodeRecord(entry));
    }
    if (!RecordingsIndex::writeBytes(path, RecordingsIndexCodec::joinRecords(nextEncoded), error)) {
        loaded = false; // what is on disk now is read again next time
        return false;
    }
    contents = std::move(next);
    encoded = std::move(nextEncoded);
    cachedPath = path;
    cachedStamp = stampOf(path);
    loaded = true;
    ++changes;
    return true;
}

void RecordingsIndexCache::forgetFile(const QString& path)
{
    contents = {};
    encoded.clear();
    cachedPath = path;
    cachedStamp = stampOf(path);
    loaded = true;
    ++changes;
}
