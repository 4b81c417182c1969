#pragma once

#include "recording/RecordingMetadata.h"
#include "recording/RecordingsIndex.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <span>

// The recordings folder: WAV files plus the "metadata.json" index, and the
// rules that keep it within its age and size limits. Not thread-safe on its
// own: RecordingManager runs every operation that rewrites the index on one
// serial queue. Reads are safe at any time because the index is only ever
// replaced by an atomic rename.
class RecordingsArchive {
public:
    struct Environment {
        std::function<QString()> directory; // worked out anew at every use
        std::function<QDateTime()> now;
        std::function<int64_t()> maxStorageSizeMB; // read when the size rule starts
        std::function<int64_t()> autoDeleteAfterDays;
        // Free bytes on the folder's volume, or nothing when unknown. Unset:
        // ask the file system.
        std::function<std::optional<int64_t>()> availableDiskSpace;
    };

    // Free space kept beyond the raw samples before a recording is written.
    static constexpr int64_t diskSpaceReserve = 10 * 1024 * 1024;

    explicit RecordingsArchive(Environment environment);

    QString recordingsDirectory() const;
    QString metadataFile() const;
    void createRecordingsDirectoryIfNeeded();

    // Writes one recording and its index entry, then runs the retention pass.
    void saveRecording(
        std::span<const float> audioData, double sampleRate, const QString& transcription, const QString& modelName);

    bool writeWAVFile(std::span<const float> audioData, double sampleRate, const QString& path);
    QList<RecordingMetadata> loadMetadata();
    void saveMetadata(const RecordingMetadata& metadata);

    void performMaintenance();
    // Adds the recording files no index entry names (left by a crash between
    // the audio and the index write), so retention counts and removes them.
    void indexUnlistedRecordings();
    void deleteOldRecordings();
    void enforceStorageLimit();
    std::optional<int64_t> getAvailableDiskSpace();

    QList<RecordingMetadata> getRecordings(); // newest first
    // Removes the file and its index entries; a file that cannot be removed
    // keeps its entries, so the index never loses a recording that is still
    // there. False only then.
    bool deleteRecording(const QString& filename);
    void deleteAllRecordings();
    int64_t getTotalStorageUsed();

    // A name from the index or a caller may only name a file directly inside
    // the recordings folder.
    static bool isPlainFileName(const QString& name);

private:
    enum class Removal { Removed, AlreadyMissing, Failed };

    QString newRecordingName(const QDateTime& timestamp) const;
    Removal removeRecordingFile(const QString& filename);
    // The size of a recording's file; 0 when it is missing or not a plain file.
    int64_t sizeOnDisk(const QString& filename) const;
    // Reads the index for a change; prints the load failure line.
    RecordingsIndex::Contents loadForRewrite();
    // Writes `entries` as the new index. An unreadable index is moved aside
    // first and never overwritten. Failures print `failurePrefix` + reason.
    bool rewriteIndex(const RecordingsIndex::Contents& previous, const QList<RecordingMetadata>& entries,
        const QString& failurePrefix);
    bool keepUnreadableIndexAside(QString& error);

    Environment archiveEnvironment;
};
