#pragma once

#include "base/NotificationCenter.h"
#include "core/config/TallowindError.h"
#include "core/speech/WhisperModel.h"
#include "downloads/ModelDownloadProgress.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>

class ModelDownloaderAsync;
class ModelDownloadStream;
class ModelManager;

// The model-management screen's state: the catalogue, the selected model,
// each model's size text, the space all downloaded models take, and per
// model whether a download runs and how far it has got. Downloads are
// streamed; several models may download at once. Main thread only.
class ModelSettingsViewModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(
        QList<WhisperModel> availableModels READ availableModels WRITE setAvailableModels NOTIFY availableModelsChanged)
    Q_PROPERTY(
        std::optional<WhisperModel> selectedModel READ selectedModel WRITE setSelectedModel NOTIFY selectedModelChanged)
    Q_PROPERTY(
        ProgressTable downloadProgress READ downloadProgress WRITE setDownloadProgress NOTIFY downloadProgressChanged)
    Q_PROPERTY(FlagTable isDownloading READ isDownloading WRITE setIsDownloading NOTIFY isDownloadingChanged)
    Q_PROPERTY(TextTable modelSizes READ modelSizes WRITE setModelSizes NOTIFY modelSizesChanged)
    Q_PROPERTY(QString totalStorageUsed READ totalStorageUsed WRITE setTotalStorageUsed NOTIFY totalStorageUsedChanged)

public:
    using ProgressTable = QHash<WhisperModel, ModelDownloadProgress>;
    using FlagTable = QHash<WhisperModel, bool>;
    using TextTable = QHash<WhisperModel, QString>;

    explicit ModelSettingsViewModel(ModelManager& modelManager, QObject* parent = nullptr);
    ModelSettingsViewModel();
    ~ModelSettingsViewModel() override;

    const QList<WhisperModel>& availableModels() const { return models; }
    void setAvailableModels(const QList<WhisperModel>& value);
    const std::optional<WhisperModel>& selectedModel() const { return selected; }
    void setSelectedModel(const std::optional<WhisperModel>& value);
    // An entry exactly while a download of that model runs.
    const ProgressTable& downloadProgress() const { return progress; }
    void setDownloadProgress(const ProgressTable& value);
    // A missing entry counts as not downloading.
    const FlagTable& isDownloading() const { return downloading; }
    void setIsDownloading(const FlagTable& value);
    const TextTable& modelSizes() const { return sizes; }
    void setModelSizes(const TextTable& value);
    const QString& totalStorageUsed() const { return total; }
    void setTotalStorageUsed(const QString& value);

    // Makes the model the active one in the store; the completion gets the
    // store's error, if any.
    void selectModel(WhisperModel model, std::function<void(std::optional<TallowindError>)> completion = {});
    // Starts a download unless one of the model runs already.
    void downloadModel(WhisperModel model);
    // Stops the transfer; the download's end is then not acted on.
    void cancelDownload(WhisperModel model);
    // Removes the model's file through the store (which forgets it as the
    // active model) and picks the first model still on disk when it was
    // the selected one. The store's error, if any.
    std::optional<DomainError> deleteModel(WhisperModel model);
    bool isModelDownloaded(WhisperModel model) const;
    bool canSelectModel(WhisperModel model) const;

signals:
    void availableModelsChanged(const QList<WhisperModel>& value);
    void selectedModelChanged(const std::optional<WhisperModel>& value);
    void downloadProgressChanged(const ModelSettingsViewModel::ProgressTable& value);
    void isDownloadingChanged(const ModelSettingsViewModel::FlagTable& value);
    void modelSizesChanged(const ModelSettingsViewModel::TextTable& value);
    void totalStorageUsedChanged(const QString& value);

private:
    // One running download. Its generation tells its reports apart from
    // those of an older download of the same model.
    struct Download {
        quint64 generation = 0;
        std::unique_ptr<ModelDownloaderAsync> downloader;
        std::shared_ptr<ModelDownloadStream> stream;
    };

    void loadModels();
    void setupBindings();
    void updateModelSize(WhisperModel model);
    void updateTotalStorageUsed();
    void takeProgress(WhisperModel model, quint64 generation);
    void finishDownload(WhisperModel model, quint64 generation);
    void markNotDownloading(WhisperModel model);
    // Lets a download's objects go once their signals have returned.
    void retire(Download download);

    QList<WhisperModel> models;
    std::optional<WhisperModel> selected;
    ProgressTable progress;
    FlagTable downloading;
    TextTable sizes;
    QString total = QStringLiteral("0 MB");

    ModelManager& store;
    std::unordered_map<WhisperModel, Download> downloads;
    quint64 lastGeneration = 0;
    NotificationObservation modelChanges;
    NotificationObservation modelDeletions;
};
