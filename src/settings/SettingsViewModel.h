#pragma once

#include "core/speech/WhisperModel.h"
#include "downloads/ModelDownloadDelegate.h"
#include "downloads/ModelDownloader.h"
#include "settings/DownloadStatus.h"

#include <QHash>
#include <QList>
#include <QObject>

#include <functional>
#include <memory>
#include <optional>

using SettingsModelList = QList<WhisperModel>;
using SettingsDownloadStatuses = QHash<WhisperModel, DownloadStatus>;

// The one model behind every tab of the Settings window. It keeps nothing on
// disk of its own: it reads and writes the model store, the settings store
// and the downloads it starts. Lives on the main thread.
class SettingsViewModel : public QObject, public ModelDownloadDelegate {
    Q_OBJECT

public:
    using DownloadStatus = ::DownloadStatus;

    explicit SettingsViewModel(QObject* parent = nullptr);
    ~SettingsViewModel() override;

    // Reloads everything the tabs show from the stores; the window's content
    // calls it each time it is shown.
    void loadInitialData();

    // Models and downloads
    Q_PROPERTY(SettingsModelList models READ models WRITE setModels NOTIFY modelsChanged)
    Q_PROPERTY(std::optional<WhisperModel> selectedModel READ selectedModel WRITE setSelectedModel NOTIFY selectedModelChanged)
    Q_PROPERTY(SettingsDownloadStatuses downloadStatuses READ downloadStatuses WRITE setDownloadStatuses NOTIFY downloadStatusesChanged)
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
    // Starts a download of the model unless one started here still runs.
    virtual void downloadModel(WhisperModel model);
    // Stops the model's running download, if any; the status becomes notDownloaded.
    virtual void cancelDownload(WhisperModel model);
    // Removes the model's file in a later turn of the event loop; the outcome
    // shows as the model's status.
    virtual void deleteModel(WhisperModel model);
    // Whether a download started here still runs for the model.
    bool isDownloading(WhisperModel model) const { return downloaders.contains(model); }

    // Reports of the downloaders started here; each change is applied in a
    // later turn of the event loop, and only while the reporting download is
    // still the model's registered one.
    void downloadDidStart(WhisperModel model) override;
    void downloadDidUpdateProgress(double progress, qint64 bytesWritten, qint64 totalBytes,
                                   WhisperModel model) override;
    void downloadDidComplete(WhisperModel model) override;
    void downloadDidFail(const TallowindError& error, WhisperModel model) override;

signals:
    void modelsChanged(const SettingsModelList& value);
    void selectedModelChanged(const std::optional<WhisperModel>& value);
    void downloadStatusesChanged(const SettingsDownloadStatuses& value);

private:
    void loadModels();
    void setDownloadStatus(WhisperModel model, const DownloadStatus& status);
    // Runs `change` later on the main thread if the download registered for
    // the model then is still the one registered now.
    void applyReport(WhisperModel model, std::function<void()> change);

    SettingsModelList modelList;
    std::optional<WhisperModel> selected;
    SettingsDownloadStatuses statuses;
    QHash<WhisperModel, std::shared_ptr<ModelDownloader>> downloaders;
};
