#pragma once

#include "core/config/AppConfig.h"
#include "core/speech/WhisperModel.h"
#include "downloads/ModelDownloadDelegate.h"
#include "settings/DownloadStatus.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <functional>
#include <memory>
#include <optional>

class ModelDownloads;
class ShortcutCaptureHost;
class Workspace;

using SettingsModelList = QList<WhisperModel>;
using SettingsDownloadStatuses = QHash<WhisperModel, DownloadStatus>;

// The one model behind every tab of the Settings window. It keeps nothing on
// disk of its own: it reads and writes the model store, the settings store
// and the model downloads, its own and those started elsewhere. Lives on the
// main thread.
class SettingsViewModel : public QObject, public ModelDownloadDelegate {
    Q_OBJECT

    // Dictionary, recordings, switches and reset
public:
    // One row of the Recordings tab. The id stays while the recordings
    // catalogue keeps the row; a listing read afresh makes new ids.
    struct RecordingInfo {
        RecordingInfo() = default;
        RecordingInfo(
            const QDateTime& date, const QString& transcription, const QString& model, const QString& filePath);

        QUuid id;
        QDateTime date;
        QString transcription;
        QString model;
        QString filePath; // the audio file
        // The name under which the recordings index lists the file; empty
        // for a file listed only because a text file lies beside it.
        QString indexedName;
    };

private:
    Q_PROPERTY(QStringList dictionaryWords READ dictionaryWords WRITE setDictionaryWords NOTIFY dictionaryWordsChanged)
    Q_PROPERTY(
        QList<SettingsViewModel::RecordingInfo> recordings READ recordings WRITE setRecordings NOTIFY recordingsChanged)
    Q_PROPERTY(bool recordingsListed READ recordingsListed NOTIFY recordingsListedChanged)
    Q_PROPERTY(bool enableRecordingSaving READ enableRecordingSaving WRITE setEnableRecordingSaving NOTIFY
            enableRecordingSavingChanged)
    Q_PROPERTY(bool showInFinderAfterSaving READ showInFinderAfterSaving WRITE setShowInFinderAfterSaving NOTIFY
            showInFinderAfterSavingChanged)
    Q_PROPERTY(bool enableStreamingMode READ enableStreamingMode WRITE setEnableStreamingMode NOTIFY
            enableStreamingModeChanged)
    Q_PROPERTY(bool enableVoiceActivityDetection READ enableVoiceActivityDetection WRITE setEnableVoiceActivityDetection
            NOTIFY enableVoiceActivityDetectionChanged)

public:
    using DownloadStatus = ::DownloadStatus;

    explicit SettingsViewModel(QObject* parent = nullptr);
    ~SettingsViewModel() override;

    // Reloads everything the tabs show from the stores; the window's content
    // calls it each time it is shown.
    virtual void loadInitialData();

    // Models and downloads
    Q_PROPERTY(SettingsModelList models READ models WRITE setModels NOTIFY modelsChanged)
    Q_PROPERTY(
        std::optional<WhisperModel> selectedModel READ selectedModel WRITE setSelectedModel NOTIFY selectedModelChanged)
    Q_PROPERTY(SettingsDownloadStatuses downloadStatuses READ downloadStatuses WRITE setDownloadStatuses NOTIFY
            downloadStatusesChanged)
public:
    // The catalogue in the order the Models tab lists it.
    const SettingsModelList& models() const { return modelList; }
    void setModels(const SettingsModelList& value);
    // The model the Models tab marks as selected.
    const std::optional<WhisperModel>& selectedModel() const { return selected; }
    void setSelectedModel(const std::optional<WhisperModel>& value);
    // Every catalogue model has an entry once loadInitialData() ran.
    const SettingsDownloadStatuses& downloadStatuses() const { return statuses; }
    void setDownloadStatuses(const SettingsDownloadStatuses& value);
    // notDownloaded for a model without an entry.
    DownloadStatus downloadStatus(WhisperModel model) const;

    // Selects the model and makes it the store's active model.
    virtual void selectModel(WhisperModel model);
    // Starts a download of the model unless one runs, wherever it was started.
    virtual void downloadModel(WhisperModel model);
    // Stops the model's running download, if any, wherever it was started;
    // the status becomes notDownloaded.
    virtual void cancelDownload(WhisperModel model);
    // Removes the model's file in a later turn of the event loop; the outcome
    // shows as the model's status.
    virtual void deleteModel(WhisperModel model);
    // Whether a download of the model runs, wherever it was started.
    bool isDownloading(WhisperModel model) const;
    // The downloads the cards follow and start; until one is set, the view
    // model keeps its own. Set before the first loading.
    void setModelDownloads(std::shared_ptr<ModelDownloads> downloads);

    // Reports of the running downloads; each change is applied in a later
    // turn of the event loop, and only while the reporting download is
    // still the model's running one.
    void downloadDidStart(WhisperModel model) override;
    void downloadDidUpdateProgress(
        double progress, qint64 bytesWritten, qint64 totalBytes, WhisperModel model) override;
    void downloadDidComplete(WhisperModel model) override;
    void downloadDidFail(const TallowindError& error, WhisperModel model) override;

public:
    // Dictionary, recordings, switches and reset
    QStringList dictionaryWords() const { return words; }
    void setDictionaryWords(const QStringList& value);
    QList<RecordingInfo> recordings() const { return recordingRows; }
    void setRecordings(const QList<RecordingInfo>& value);
    // Whether `recordings` holds a finished listing of the folder: until
    // the first one, an empty list says nothing about what is saved.
    bool recordingsListed() const { return listedRecordings; }
    bool enableRecordingSaving() const { return recordingSaving; }
    void setEnableRecordingSaving(bool value);
    bool showInFinderAfterSaving() const { return showAfterSaving; }
    void setShowInFinderAfterSaving(bool value);
    bool enableStreamingMode() const { return streamingMode; }
    void setEnableStreamingMode(bool value);
    bool enableVoiceActivityDetection() const { return voiceActivityDetection; }
    void setEnableVoiceActivityDetection(bool value);

    // Where files are revealed and folders opened; without one nothing is.
    void setWorkspace(std::shared_ptr<Workspace> workspace);
    // Told while a shortcut row captures keys; must outlive the tabs.
    void setShortcutCaptureHost(ShortcutCaptureHost* host);
    ShortcutCaptureHost* shortcutCaptureHost() const { return captureHost; }

    virtual void addDictionaryWord(const QString& word);
    virtual void removeDictionaryWord(const QString& word);
    virtual void openRecordingInFinder(const RecordingInfo& recording);
    // Creates the recordings folder when it does not exist yet, then opens it.
    virtual void openRecordingsFolder();
    // Deleting returns at once: the files go on the recording store's queue
    // (or a worker, for files the index does not list) and the rows leave
    // `recordings` when they are gone; a file that stays keeps its row.
    virtual void deleteRecording(const RecordingInfo& recording);
    // Many recordings as one batch: one index write for all of them.
    virtual void deleteRecordings(const QList<RecordingInfo>& recordings);
    virtual void clearAllRecordings();
    virtual void updateEnableRecordingSaving(bool value);
    virtual void updateShowInFinderAfterSaving(bool value);
    virtual void updateEnableStreamingMode(bool value);
    virtual void updateEnableVoiceActivityDetection(bool value);
    virtual void saveAdvancedSettings();
    virtual void resetToDefaults();

signals:
    // Dictionary, recordings, switches and reset
    void dictionaryWordsChanged(const QStringList& dictionaryWords);
    void recordingsChanged(const QList<SettingsViewModel::RecordingInfo>& recordings);
    void recordingsListedChanged(bool recordingsListed);
    void enableRecordingSavingChanged(bool enableRecordingSaving);
    void showInFinderAfterSavingChanged(bool showInFinderAfterSaving);
    void enableStreamingModeChanged(bool enableStreamingMode);
    void enableVoiceActivityDetectionChanged(bool enableVoiceActivityDetection);

    void modelsChanged(const SettingsModelList& value);
    void selectedModelChanged(const std::optional<WhisperModel>& value);
    void downloadStatusesChanged(const SettingsDownloadStatuses& value);

private:
    void loadModels();
    void setDownloadStatus(WhisperModel model, const DownloadStatus& status);
    // Runs `change` later on the main thread unless the download reporting
    // now has been stopped or replaced by then.
    void applyReport(WhisperModel model, std::function<void()> change);
    void downloadStopped(WhisperModel model);
    // Puts the model's running download, if any, on its card unless the card
    // shows it already; false when none runs.
    bool showRunningDownload(WhisperModel model);

    SettingsModelList modelList;
    std::optional<WhisperModel> selected;
    SettingsDownloadStatuses statuses;
    std::shared_ptr<ModelDownloads> downloads;

    // Dictionary, recordings, switches and reset
    void loadDictionary();
    void loadRecordings();
    void setRecordingsListed(bool value);
    // "Clear All" also has the store forget the entries of files removed
    // by other means, which no row shows.
    enum class Removal { Named, ClearingAll };
    void removeRecordings(const QList<RecordingInfo>& recordings, Removal removal);
    bool followsRecordingsCatalog = false;

    QStringList words;
    QList<RecordingInfo> recordingRows;
    bool listedRecordings = false;
    // The switches are read from the settings store once, at construction;
    // later changes made elsewhere are not followed.
    bool recordingSaving = AppConfig::enableRecordingSaving();
    bool showAfterSaving = AppConfig::showInFinderAfterSaving();
    bool streamingMode = AppConfig::enableStreamingMode();
    bool voiceActivityDetection = AppConfig::enableVoiceActivityDetection();
    std::shared_ptr<Workspace> workspace;
    ShortcutCaptureHost* captureHost = nullptr;
};
