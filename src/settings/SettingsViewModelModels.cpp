#include "settings/SettingsViewModel.h"

#include "base/NotificationCenter.h"
#include "base/Published.h"
#include "core/speech/ModelManager.h"

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

void SettingsViewModel::loadModels()
{
    ModelManager& store = ModelManager::shared();
    setModels(WhisperModel::allCasesRecommendedOrder());
    setSelectedModel(store.activeModel());
    for (WhisperModel model : modelList) {
        // A download started here has no file yet; showing Download again
        // would invite a second transfer into the same file.
        if (downloaders.contains(model)) {
            if (!downloadStatus(model).isDownloading())
                setDownloadStatus(model, DownloadStatus::downloading(0.0f));
            continue;
        }
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
    // A second transfer would write into the same file as the running one.
    if (downloaders.contains(model))
        return;
    std::shared_ptr<ModelDownloader> downloader = ModelDownloader::create();
    downloader->setDelegate(this);
    downloaders.insert(model, downloader);
    setDownloadStatus(model, DownloadStatus::downloading(0.0f));
    downloader->downloadModel(model);
}

void SettingsViewModel::cancelDownload(WhisperModel model)
{
    if (std::shared_ptr<ModelDownloader> downloader = downloaders.take(model))
        downloader->cancelDownload();
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
    const std::shared_ptr<ModelDownloader> sender = downloaders.value(model);
    // No download of this model runs from here (stopped, or never started):
    // a stopped card must not jump back to a progress bar.
    if (!sender)
        return;
    const std::weak_ptr<ModelDownloader> expected = sender;
    QMetaObject::invokeMethod(
        this,
        [this, model, expected, change = std::move(change)] {
            const std::shared_ptr<ModelDownloader> current = downloaders.value(model);
            if (!current || current != expected.lock())
                return;
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
        downloaders.remove(model);
        loadModels();
    });
}

void SettingsViewModel::downloadDidFail(const TallowindError& error, WhisperModel model)
{
    const QString text = error.localizedDescription();
    applyReport(model, [this, model, text] {
        setDownloadStatus(model, DownloadStatus::error(text));
        downloaders.remove(model);
    });
}
