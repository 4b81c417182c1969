#pragma once

#include "core/config/TallowindError.h"
#include "recording/RecordingMetadata.h"

#include <QList>
#include <QObject>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <variant>
#include <vector>

namespace Dispatch {
class SerialQueue;
}
class RecordingsArchive;
class AudioCapture;
class MicrophonePermission;
class QTimer;
struct AudioBuffer;

// The process-wide recording state shared by the dictation path, the live
// preview and the views (recording flag, audio level, current transcription)
// and the archive of saved recordings.
//
// The published properties may be assigned from any thread: an assignment
// made off the main thread is carried to the main thread, where the value is
// stored and announced, so subscribers always hear changes there and in the
// order they were stored. Every assignment is announced, equal values too.
class RecordingManager final : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isRecording READ isRecording WRITE setIsRecording NOTIFY isRecordingChanged)
    Q_PROPERTY(float audioLevel READ audioLevel WRITE setAudioLevel NOTIFY audioLevelChanged)
    Q_PROPERTY(QString currentTranscription READ currentTranscription WRITE setCurrentTranscription NOTIFY
            currentTranscriptionChanged)

public:
    using RecordingMetadata = ::RecordingMetadata;

    static RecordingManager& shared();

    bool isRecording() const { return recordingInProgress.load(); }
    void setIsRecording(bool value);
    float audioLevel() const { return currentAudioLevel.load(); }
    void setAudioLevel(float value);
    QString currentTranscription() const;
    void setCurrentTranscription(const QString& value);

    // Settings: the saving switch lives with the application's settings;
    // the two retention limits are the manager's own keys.
    bool isSaveEnabled() const;
    void setIsSaveEnabled(bool value);
    int64_t maxStorageSizeMB() const;
    void setMaxStorageSizeMB(int64_t value);
    int64_t autoDeleteAfterDays() const;
    void setAutoDeleteAfterDays(int64_t value);

    // ~/.local/share/Tallowind/Recordings, worked out at every call.
    QString recordingsDirectory() const;

    // Returns at once. When saving is switched on, the recording is written
    // on the archive queue, followed by the retention pass. Failures are
    // printed, never reported.
    void saveRecording(
        std::vector<float> audioData, double sampleRate, const QString& transcription, const QString& modelName);

    // These four wait for the archive queue: for tests and for callers off
    // the GUI thread. The GUI lists and deletes through the calls below.
    QList<RecordingMetadata> getRecordings() const; // newest first
    // False when the file is still there (its index entry is kept).
    bool deleteRecording(const QString& filename);
    void deleteAllRecordings();
    int64_t getTotalStorageUsed() const;

    // Return at once; the completion runs on the main thread. A listing is
    // newest first, with the generation of the index it was taken from and
    // the version of the folder then.
    using ListCompletion =
        std::function<void(const QList<RecordingMetadata>& recordings, quint64 generation, quint64 folderVersion)>;
    void listRecordings(ListCompletion completion);
    // One batch with one index write; the completion gets the names asked
    // for whose files are gone (a file that stays keeps its entry).
    using RemovalCompletion = std::function<void(const QStringList& removed)>;
    void deleteRecordings(const QStringList& filenames, RemovalCompletion completion = {});
    // "Clear All": the same, and the entries of files removed by other
    // means go too.
    void clearRecordings(const QStringList& filenames, RemovalCompletion completion = {});

    // Blocks until every save queued so far has finished (used at quit so
    // that no dictation is lost, and by tests).
    void waitForPendingWork();

    // The manager's own capture path, apart from the dictation path: it
    // records 16 kHz mono samples and stops with a placeholder text.
    // Main thread; completions run on the main thread.
    using CaptureError = std::variant<TallowindError, DomainError>;
    using CaptureCompletion = std::function<void(const std::optional<CaptureError>& error)>;
    using StopCompletion = std::function<void(const QString& text, const std::optional<CaptureError>& error)>;
    // No capture service means no engine; no permission service means the
    // desktop's rule: always authorized.
    void setCaptureServices(std::shared_ptr<AudioCapture> capture, std::shared_ptr<MicrophonePermission> permission);
    void startRecording(CaptureCompletion completion);
    void stopRecording(StopCompletion completion);
    void cancelRecording(CaptureCompletion completion);
    void completeRecording(StopCompletion completion);
    // The samples of the last recording (kept until the next start).
    std::vector<float> capturedAudio() const;
    // Drives audioLevel with random values every 0.05 s.
    void startAudioLevelSimulation();
    void stopAudioLevelSimulation();
    QTimer* audioLevelTimer() const;

signals:
    // Every write of the index that added or removed entries (saves,
    // deletions, retention), in order; `generation` counts the index's
    // changes, so a gap means some change was not seen; `folderVersion` is
    // the folder's version right after the write.
    void recordingsChanged(
        const QList<RecordingMetadata>& added, const QStringList& removed, quint64 generation, quint64 folderVersion);
    void isRecordingChanged(bool isRecording);
    void audioLevelChanged(float audioLevel);
    void currentTranscriptionChanged(const QString& currentTranscription);

private:
    RecordingManager();
    ~RecordingManager() override;

    struct OwnCapture;
    OwnCapture& ownCapture();
    void requestMicrophonePermission(std::function<void(bool granted)> completion);
    std::optional<CaptureError> initializeAudioEngine();
    std::optional<CaptureError> startAudioEngine();
    void stopAudioEngine();
    void processAudioBuffer(const AudioBuffer& buffer);
    void removeOnArchiveQueue(QStringList (RecordingsArchive::*removal)(const QStringList&), QStringList filenames,
        RemovalCompletion completion);

    std::atomic<bool> recordingInProgress{false};
    std::atomic<float> currentAudioLevel{0.0f};
    mutable std::mutex currentTranscriptionMutex;
    QString currentTranscriptionText;

    // Declared before the queue: the queue finishes its work (which reaches
    // the archive through a weak reference) before the archive goes away.
    std::shared_ptr<RecordingsArchive> recordingsArchive;
    std::unique_ptr<Dispatch::SerialQueue> archiveQueue;

    // Made on first use by the capture path.
    std::shared_ptr<OwnCapture> ownedCapture;
};
