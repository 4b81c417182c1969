#pragma once

#include "settings/recordings/RecordingInfo.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>
#include <QUuid>

#include <functional>
#include <memory>
#include <optional>

class RecordingManager;
class Workspace;

// The recordings-settings screen's state: the saving switch, the switch for
// showing a saved recording in the file manager, the recordings folder, the
// two retention limits, the listed recordings with a selection and their
// total size. The switches are stored at once, the limits half a second
// after their last change. Main thread only.
class RecordingSettingsViewModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(QList<RecordingInfo> recordings READ recordings WRITE setRecordings NOTIFY recordingsChanged)
    Q_PROPERTY(bool isLoadingRecordings READ isLoadingRecordings WRITE setIsLoadingRecordings NOTIFY
            isLoadingRecordingsChanged)
    Q_PROPERTY(bool enableRecordingSaving READ enableRecordingSaving WRITE setEnableRecordingSaving NOTIFY
            enableRecordingSavingChanged)
    Q_PROPERTY(bool showInFinderAfterSaving READ showInFinderAfterSaving WRITE setShowInFinderAfterSaving NOTIFY
            showInFinderAfterSavingChanged)
    Q_PROPERTY(std::optional<QString> recordingsDirectory READ recordingsDirectory WRITE setRecordingsDirectory NOTIFY
            recordingsDirectoryChanged)
    Q_PROPERTY(qint64 maxStorageSizeMB READ maxStorageSizeMB WRITE setMaxStorageSizeMB NOTIFY maxStorageSizeMBChanged)
    Q_PROPERTY(qint64 autoDeleteAfterDays READ autoDeleteAfterDays WRITE setAutoDeleteAfterDays NOTIFY
            autoDeleteAfterDaysChanged)
    Q_PROPERTY(QString totalStorageUsed READ totalStorageUsed WRITE setTotalStorageUsed NOTIFY totalStorageUsedChanged)
    Q_PROPERTY(QSet<QUuid> selectedRecordings READ selectedRecordings WRITE setSelectedRecordings NOTIFY
            selectedRecordingsChanged)

public:
    // The list is loaded on the next turn of the main queue.
    RecordingSettingsViewModel(
        RecordingManager& recordingManager, std::shared_ptr<Workspace> workspace, QObject* parent = nullptr);
    ~RecordingSettingsViewModel() override;

    static constexpr int saveDelayMs = 500;

    const QList<RecordingInfo>& recordings() const { return list; }
    void setRecordings(const QList<RecordingInfo>& value);
    bool isLoadingRecordings() const { return loading; }
    void setIsLoadingRecordings(bool value);
    bool enableRecordingSaving() const { return savesRecordings; }
    void setEnableRecordingSaving(bool value);
    bool showInFinderAfterSaving() const { return revealsAfterSaving; }
    void setShowInFinderAfterSaving(bool value);
    const std::optional<QString>& recordingsDirectory() const { return directory; }
    void setRecordingsDirectory(const std::optional<QString>& value);
    qint64 maxStorageSizeMB() const { return storageLimit; }
    void setMaxStorageSizeMB(qint64 value);
    qint64 autoDeleteAfterDays() const { return ageLimit; }
    void setAutoDeleteAfterDays(qint64 value);
    const QString& totalStorageUsed() const { return total; }
    void setTotalStorageUsed(const QString& value);
    const QSet<QUuid>& selectedRecordings() const { return selection; }
    void setSelectedRecordings(const QSet<QUuid>& value);

    void loadRecordings();
    void deleteRecording(const RecordingInfo& recording);
    void deleteSelectedRecordings();
    // Shows the recording's file, selected, in the file manager.
    void showInFinder(const RecordingInfo& recording);
    // Opens the recording in the desktop's player for its type.
    void playRecording(const RecordingInfo& recording);

    // Copies the recording to a file the user chooses; the completion gets
    // the error text, or nothing on success or when the user cancels.
    using Completion = std::function<void(const std::optional<QString>& error)>;
    void exportRecording(const RecordingInfo& recording, Completion completion = {});
    // The copy itself, off the GUI thread, through a temporary file renamed
    // over the target, so a failed export leaves an existing file as it was.
    void exportRecordingTo(const RecordingInfo& recording, const QString& destination, Completion completion);
    // Lets the user pick the folder shown as the recordings folder; the
    // recording store keeps saving into its own.
    void chooseRecordingsDirectory(std::function<void()> done = {});

signals:
    void recordingsChanged(const QList<RecordingInfo>& value);
    void isLoadingRecordingsChanged(bool value);
    void enableRecordingSavingChanged(bool value);
    void showInFinderAfterSavingChanged(bool value);
    void recordingsDirectoryChanged(const std::optional<QString>& value);
    void maxStorageSizeMBChanged(qint64 value);
    void autoDeleteAfterDaysChanged(qint64 value);
    void totalStorageUsedChanged(const QString& value);
    void selectedRecordingsChanged(const QSet<QUuid>& value);

private:
    void loadSettings();
    void setupBindings();
    void updateTotalStorageUsed();

    QList<RecordingInfo> list;
    bool loading = false;
    bool savesRecordings = false;
    bool revealsAfterSaving = false;
    std::optional<QString> directory;
    qint64 storageLimit = 500;
    qint64 ageLimit = 30;
    QString total = QStringLiteral("0 MB");
    QSet<QUuid> selection;

    RecordingManager& store;
    std::shared_ptr<Workspace> workspace;
    bool bound = false;
    QTimer storageLimitSave;
    QTimer ageLimitSave;
};
