#pragma once

#include "recording/RecordingMetadata.h"
#include "recording/RecordingsFolder.h"
#include "recording/RecordingsIndex.h"
#include "recording/RecordingsIndexCache.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <optional>
#include <span>

// The recordings folder: WAV files plus the "metadata.json" index, and the
// rules that keep it within its age and size limits. Not thread-safe:
// RecordingManager runs every operation on one serial queue. The index is
// kept in memory and only ever replaced on disk by an atomic rename, so
// other threads may read the file itself at any time.
class RecordingsArchive {
public:
    // What one index write changed; `generation` counts the index's
    // changes, `folderVersion` tells the folder's state right after it.
    struct Change {
        QList<RecordingMetadata> added;
        QStringList removed;
        uint64_t generation = 0;
        uint64_t folderVersion = 0;
    };

    struct Environment {
        std::function<QString()> directory; // worked out anew at every use
        std::function<QDateTime()> now;
        std::function<int64_t()> maxStorageSizeMB; // read when the size rule starts
        std::function<int64_t()> autoDeleteAfterDays;
        // Free bytes on the folder's volume, or nothing when unknown. Unset:
        // ask the file system.
        std::function<std::optional<int64_t>()> availableDiskSpace;
        // Told after every write that added or removed entries, on the
        // archive's thread. Optional.
        std::function<void(const Change&)> changed;
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
    // The look at the folder at start: measures every file once, so that no
    // save has to, and adds the recording files no index entry names (left
    // by a crash between the audio and the index write), so retention counts
    // and removes them.
    void checkIndexAtStart();
    void deleteOldRecordings();
    void enforceStorageLimit();
    std::optional<int64_t> getAvailableDiskSpace();

    QList<RecordingMetadata> getRecordings(); // newest first
    // The same, with the index generation it belongs to and the folder's
    // version (which changes when files are added or removed at its top).
    QList<RecordingMetadata> getRecordings(uint64_t& generation, uint64_t& folderVersion);
    uint64_t folderVersion() const;
    // Removes the file and its index entries; a file that cannot be removed
    // keeps its entries, so the index never loses a recording that is still
    // there. False only then.
    bool deleteRecording(const QString& filename);
    // The same for many, with one index write. Answers the names asked for
    // whose files are gone now.
    QStringList deleteRecordings(const QStringList& filenames);
    // "Clear All" of the listed recordings: deletes them as above and also
    // forgets the entries whose files were removed by other means, which no
    // list shows. An entry whose file is still there stays.
    QStringList clearRecordings(const QStringList& filenames);
    // Removes every indexed file and the index; answers the names removed.
    QStringList deleteAllRecordings();
    int64_t getTotalStorageUsed();

    // A name from the index or a caller may only name a file directly inside
    // the recordings folder.
    static bool isPlainFileName(const QString& name);

private:
    enum class Removal { Removed, AlreadyMissing, Failed };
    enum class Leftovers { Keep, ForgetMissingFiles };

    QStringList removeRecordings(const QStringList& filenames, Leftovers leftovers);
    bool isSurelyMissing(const QString& filename) const;

    QString newRecordingName(const QDateTime& timestamp) const;
    Removal removeRecordingFile(const QString& filename);
    // The size of a recording's file as last seen; 0 when it is missing or
    // not a plain file.
    int64_t sizeOnDisk(const QString& filename);
    // Reads the folder again, measuring only files not measured before.
    void lookAtFolder();
    // What the index's recordings take on disk by the last look.
    int64_t storageOnDisk(const RecordingsIndex::Contents& index);
    // The index for a change; prints the load failure line.
    RecordingsIndex::Contents loadForRewrite();
    // Writes the entries at `kept` (positions in `previous`) followed by
    // `added` as the new index, and tells the observer. An unreadable index
    // is moved aside first and never overwritten. Failures print
    // `failurePrefix` + reason.
    bool rewriteIndex(const RecordingsIndex::Contents& previous, const QList<qsizetype>& kept,
        const QList<RecordingMetadata>& added, const QStringList& removed, const QString& failurePrefix);
    bool keepUnreadableIndexAside(QString& error);
    void announce(const QList<RecordingMetadata>& added, const QStringList& removed);

    Environment archiveEnvironment;
    RecordingsIndexCache indexCache;
    // The folder as last looked at, kept up to date with the archive's own
    // writes and removals. Unknown while the folder cannot be read: then each
    // size is asked for anew.
    RecordingsFolder folderContents;
    // The sum of sizeOnDisk over the index's entries, kept across saves so
    // that a save does not add up every entry; valid for one generation and
    // one look at the folder.
    int64_t storageTotal = 0;
    std::optional<uint64_t> storageTotalGeneration;
};

// Positions 0 .. count-1, for keeping every entry.
QList<qsizetype> allPositions(qsizetype count);
