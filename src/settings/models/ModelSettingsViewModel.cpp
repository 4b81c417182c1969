#include "settings/models/ModelSettingsViewModel.h"

#include "base/Dispatch.h"
#include "base/Published.h"
#include "core/speech/ModelManager.h"
#include "downloads/ModelDownloadStream.h"
#include "downloads/ModelDownloaderAsync.h"
#include "settings/models/ByteCountText.h"

#include <QPointer>
#include <QTimer>

ModelSettingsViewModel::ModelSettingsViewModel(ModelManager& modelManager, QObject* parent)
    : QObject(parent), store(modelManager)
{
    loadModels();
    setupBindings();
}

ModelSettingsViewModel::ModelSettingsViewModel() : ModelSettingsViewModel(ModelManager::shared()) { }

ModelSettingsViewModel::~ModelSettingsViewModel()
{
    // The downloads go on to their end; nothing is listening.
    for (auto& [model, download] : downloads)
        if (download.stream)
            download.stream->disconnect(this);
}

void ModelSettingsViewModel::setAvailableModels(const QList<WhisperModel>& value)
{
    publish(this, models, value, &ModelSettingsViewModel::availableModelsChanged);
}

void ModelSettingsViewModel::setSelectedModel(const std::optional<WhisperModel>& value)
{
    publish(this, selected, value, &ModelSettingsViewModel::selectedModelChanged);
}

void ModelSettingsViewModel::setDownloadProgress(const ProgressTable& value)
{
    publish(this, progress, value, &ModelSettingsViewModel::downloadProgressChanged);
}

void ModelSettingsViewModel::setIsDownloading(const FlagTable& value)
{
    publish(this, downloading, value, &ModelSettingsViewModel::isDownloadingChanged);
}

void ModelSettingsViewModel::setModelSizes(const TextTable& value)
{
    publish(this, sizes, value, &ModelSettingsViewModel::modelSizesChanged);
}

void ModelSettingsViewModel::setTotalStorageUsed(const QString& value)
{
    publish(this, total, value, &ModelSettingsViewModel::totalStorageUsedChanged);
}

void ModelSettingsViewModel::loadModels()
{
    setAvailableModels(WhisperModel::allCasesRecommendedOrder());
    setSelectedModel(store.activeModel());
    for (WhisperModel model : std::as_const(models))
        updateModelSize(model);
    updateTotalStorageUsed();
}

void ModelSettingsViewModel::setupBindings()
{
    QPointer<ModelSettingsViewModel> self(this);
    modelChanges = NotificationObservation(NotificationName::modelDidChange, [self](const Notification& note) {
        const std::optional<WhisperModel> model =
            WhisperModel::fromVariant(note.userInfo.value(ModelManager::modelUserInfoKey));
        Dispatch::main().async([self, model] {
            if (self && model)
                self->setSelectedModel(*model);
        });
    });
    modelDeletions = NotificationObservation(NotificationName::modelWasDeleted, [self](const Notification&) {
        Dispatch::main().async([self] {
            if (self)
                self->loadModels();
        });
    });
}

void ModelSettingsViewModel::updateModelSize(WhisperModel model)
{
    TextTable next = sizes;
    if (store.isModelDownloaded(model)) {
        const std::optional<qint64> bytes = store.modelFileSize(model);
        next.insert(model, bytes ? byteCountText(*bytes) : QStringLiteral("Unknown"));
    } else {
        next.insert(model, model.estimatedSizeString());
    }
    setModelSizes(next);
}

void ModelSettingsViewModel::updateTotalStorageUsed()
{
    setTotalStorageUsed(byteCountText(store.totalStorageUsed()));
}

void ModelSettingsViewModel::selectModel(
    WhisperModel model, std::function<void(std::optional<TallowindError>)> completion)
{
    QPointer<ModelSettingsViewModel> self(this);
    store.switchModel(model, [self, model, completion](std::optional<TallowindError> failure) {
        if (self && !failure)
            self->setSelectedModel(model);
        if (completion)
            completion(failure);
    });
}

void ModelSettingsViewModel::downloadModel(WhisperModel model)
{
    if (downloading.value(model, false))
        return;
    FlagTable flags = downloading;
    flags.insert(model, true);
    setIsDownloading(flags);
    ProgressTable values = progress;
    values.insert(model, ModelDownloadProgress{0, 0});
    setDownloadProgress(values);

    // A downloader of its own per model, so stopping one model's transfer
    // leaves the others running.
    Download download;
    download.generation = ++lastGeneration;
    download.downloader = std::make_unique<ModelDownloaderAsync>();
    download.stream = download.downloader->downloadModel(model);
    const quint64 generation = download.generation;
    ModelDownloadStream* stream = download.stream.get();
    connect(stream, &ModelDownloadStream::valueAvailable, this,
        [this, model, generation] { takeProgress(model, generation); });
    connect(
        stream, &ModelDownloadStream::finished, this, [this, model, generation] { finishDownload(model, generation); });
    const bool endedAlready = stream->hasEnded();
    if (auto found = downloads.find(model); found != downloads.end()) {
        Download older = std::move(found->second);
        downloads.erase(found);
        retire(std::move(older));
    }
    downloads.emplace(model, std::move(download));
    if (endedAlready)
        QTimer::singleShot(0, this, [this, model, generation] { finishDownload(model, generation); });
}

void ModelSettingsViewModel::takeProgress(WhisperModel model, quint64 generation)
{
    const auto found = downloads.find(model);
    if (found == downloads.end() || found->second.generation != generation)
        return;
    const QList<ModelDownloadProgress> values = found->second.stream->takeAll();
    for (const ModelDownloadProgress& value : values) {
        ProgressTable next = progress;
        next.insert(model, value);
        setDownloadProgress(next);
    }
}

void ModelSettingsViewModel::finishDownload(WhisperModel model, quint64 generation)
{
    const auto found = downloads.find(model);
    if (found == downloads.end() || found->second.generation != generation)
        return; // cancelled, or replaced by a newer download
    takeProgress(model, generation);
    Download ended = std::move(found->second);
    downloads.erase(found);
    const bool failed = ended.stream->error().has_value();
    retire(std::move(ended));

    markNotDownloading(model);
    if (failed)
        return;
    updateModelSize(model);
    updateTotalStorageUsed();
    if (!selected)
        setSelectedModel(model);
}

void ModelSettingsViewModel::cancelDownload(WhisperModel model)
{
    if (auto found = downloads.find(model); found != downloads.end()) {
        Download cancelled = std::move(found->second);
        downloads.erase(found);
        cancelled.stream->disconnect(this);
        cancelled.downloader->cancelDownload();
        retire(std::move(cancelled));
    }
    markNotDownloading(model);
}

void ModelSettingsViewModel::markNotDownloading(WhisperModel model)
{
    FlagTable flags = downloading;
    flags.insert(model, false);
    setIsDownloading(flags);
    ProgressTable values = progress;
    values.remove(model);
    setDownloadProgress(values);
}

void ModelSettingsViewModel::retire(Download download)
{
    auto stream = std::move(download.stream);
    ModelDownloaderAsync* downloader = download.downloader.release();
    QTimer::singleShot(0, downloader, [downloader, stream] { downloader->deleteLater(); });
}

std::optional<DomainError> ModelSettingsViewModel::deleteModel(WhisperModel model)
{
    if (std::optional<DomainError> failure = store.deleteModel(model))
        return failure;
    updateModelSize(model);
    updateTotalStorageUsed();
    if (selected == model) {
        const QList<WhisperModel> remaining = store.downloadedModels();
        setSelectedModel(remaining.isEmpty() ? std::nullopt : std::optional<WhisperModel>(remaining.first()));
    }
    return std::nullopt;
}

bool ModelSettingsViewModel::isModelDownloaded(WhisperModel model) const
{
    return store.isModelDownloaded(model);
}

bool ModelSettingsViewModel::canSelectModel(WhisperModel model) const
{
    return store.isModelDownloaded(model) && !downloading.value(model, false);
}
