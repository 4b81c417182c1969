#include "settings/SettingsViewModel.h"

#include "base/NotificationCenter.h"
#include "base/Published.h"
#include "core/speech/ModelManager.h"
#include "downloads/ModelDownloads.h"

#include <QPointer>

void SettingsViewModel::setModels(const SettingsModelList& value)
{
    publish(this, modelList, value, &SettingsViewModel::modelsChanged);
}

void SettingsViewModel::setSelectedModel(const std::optional<WhisperModel>& value)
{
    publish(this, selected, value, &SettingsViewModel::selectedModelChanged);
}

void SettingsViewModel::setDownloadStatuses(const SettingsDownloadStatuses& value)
{
    publish(this, statuses, value, &SettingsViewModel::downloadStatusesChanged);
}

SettingsViewModel::DownloadStatus SettingsViewModel::downloadStatus(WhisperModel model) const
{
    return statuses.value(model, DownloadStatus::notDownloaded());
}

void SettingsViewModel::setDownloadStatus(WhisperModel model, const DownloadStatus& status)
{
    statuses.insert(model, status);
    emit downloadStatusesChanged(statuses);
}

void SettingsViewModel::setModelDownloads(std::shared_ptr<ModelDownloads> shared)
{
    if (downloads)
        disconnect(downloads.get(), nullptr, this, nullptr);
    downloads = std::move(shared);
    ModelDownloads* source = downloads.get();
    connect(source, &ModelDownloads::started, this, &SettingsViewModel::downloadDidStart);
    connect(source, &ModelDownloads::progressed, this, &SettingsViewModel::downloadDidUpdateProgress);
    connect(source, &ModelDownloads::completed, this, &SettingsViewModel::downloadDidComplete);
    connect(source, &ModelDownloads::failed, this, &SettingsViewModel::downloadDidFail);
    connect(source, &ModelDownloads::stopped, this, &SettingsViewModel::downloadStopped);
}

bool SettingsViewModel::isDownloading(WhisperModel model) const
{
    return downloads->isDownloading(model);
}

bool SettingsViewModel::showRunningDownload(WhisperModel model)
{
    const std::optional<ModelDownloads::Running> running = downloads->download(model);
    if (!running)
        return false;
    if (!downloadStatus(model).isDownloading()) {
        const float fraction = running->received ? static_cast<float>(running->received->progress()) : 0.0f;
        setDownloadStatus(model, DownloadStatus::downloading(fraction));
    }
    return true;
}

void SettingsViewModel::loadModels()
{
    ModelManager& store = ModelManager::shared();
    setModels(WhisperModel::allCasesRecommendedOrder());
    setSelectedModel(store.activeModel());
    for (WhisperModel model : modelList) {
        // A running download has no file yet; showing Download again would
        // invite a second transfer of the same file.
        if (showRunningDownload(model))
            continue;
        setDownloadStatus(
            model, store.isModelDownloaded(model) ? DownloadStatus::downloaded() : DownloadStatus::notDownloaded());
    }
}

void SettingsViewModel::selectModel(WhisperModel model)
{
    setSelectedModel(model);
    ModelManager& store = ModelManager::shared();
    store.setActiveModel(model);
    // Whoever holds a loaded model (the controller) or shows the active one
    // (the popover) learns of the choice, so the next dictation uses it.
    store.announceModelChange(model);
}

void SettingsViewModel::downloadModel(WhisperModel model)
{
    // One transfer per model, whoever started it: a second would fetch the
    // whole file again. The card shows the running one instead.
    if (showRunningDownload(model))
        return;
    setDownloadStatus(model, DownloadStatus::downloading(0.0f));
    downloads->start(model);
}

void SettingsViewModel::cancelDownload(WhisperModel model)
{
    setDownloadStatus(model, DownloadStatus::notDownloaded());
    downloads->stop(model);
}

void SettingsViewModel::downloadStopped(WhisperModel model)
{
    if (downloadStatus(model).isDownloading())
        setDownloadStatus(model, DownloadStatus::notDownloaded());
}

void SettingsViewModel::deleteModel(WhisperModel model)
{
    QMetaObject::invokeMethod(
        this,
        [this, model] {
            QPointer<SettingsViewModel> self(this);
            ModelManager::shared().deleteModelAsync(model, [self, model](std::optional<DomainError> failure) {
                if (!self)
                    return;
                if (failure) {
                    self->setDownloadStatus(model,
                        DownloadStatus::error(QStringLiteral("Failed to delete: ") + failure->localizedDescription));
                    return;
                }
                self->setDownloadStatus(model, DownloadStatus::notDownloaded());
                if (self->selected != model)
                    return;
                for (WhisperModel candidate : self->modelList) {
                    if (self->downloadStatus(candidate).isDownloaded()) {
                        self->selectModel(candidate);
                        return;
                    }
                }
                // The store has just forgotten its active model; naming the
                // deleted one here would mark a card that cannot be used.
                self->setSelectedModel(std::nullopt);
            });
        },
        Qt::QueuedConnection);
}

void SettingsViewModel::applyReport(WhisperModel model, std::function<void()> change)
{
    // No download of this model runs (stopped, or never started): a stopped
    // card must not jump back to a progress bar.
    if (!downloads->isDownloading(model))
        return;
    const quint64 reporting = downloads->round(model);
    QMetaObject::invokeMethod(
        this,
        [this, model, reporting, change = std::move(change)] {
            if (downloads->round(model) == reporting)
                change();
        },
        Qt::QueuedConnection);
}

void SettingsViewModel::downloadDidStart(WhisperModel model)
{
    applyReport(model, [this, model] { setDownloadStatus(model, DownloadStatus::downloading(0.0f)); });
}

void SettingsViewModel::downloadDidUpdateProgress(double progress, qint64, qint64, WhisperModel model)
{
    const float fraction = static_cast<float>(progress);
    applyReport(model, [this, model, fraction] { setDownloadStatus(model, DownloadStatus::downloading(fraction)); });
}

void SettingsViewModel::downloadDidComplete(WhisperModel model)
{
    applyReport(model, [this, model] {
        setDownloadStatus(model, DownloadStatus::downloaded());
        loadModels();
    });
}

void SettingsViewModel::downloadDidFail(const TallowindError& error, WhisperModel model)
{
    const QString text = error.localizedDescription();
    applyReport(model, [this, model, text] { setDownloadStatus(model, DownloadStatus::error(text)); });
}
