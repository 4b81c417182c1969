// The popover view model's model library: downloads with their progress,
// and deletion with a fallback for the active model.
#include "popover/PopoverViewModel.h"

#include "base/Dispatch.h"
#include "core/speech/ModelManager.h"
#include "downloads/ModelDownloader.h"

#include <QPointer>

void PopoverViewModel::downloadModel(const WhisperModelInfo& model)
{
    // A second start would restart the transfer from nothing.
    if (isDownloading(model.whisperModel))
        return;
    std::shared_ptr<ModelDownloader> downloader = ModelDownloader::create();
    downloader->setDelegate(this);
    downloaders[model.whisperModel] = downloader;
    downloader->downloadModel(model.whisperModel);
}

void PopoverViewModel::cancelDownload(const WhisperModelInfo& model)
{
    const auto entry = downloaders.find(model.whisperModel);
    if (entry == downloaders.end())
        return;
    const std::shared_ptr<ModelDownloader> downloader = entry->second;
    downloaders.erase(entry);
    downloader->cancelDownload();
    QMap<QString, double> progress = progressByModel;
    progress.remove(model.id);
    setDownloadProgress(progress);
}

bool PopoverViewModel::isDownloading(WhisperModel model) const
{
    return downloaders.count(model) != 0;
}

void PopoverViewModel::deleteModel(const WhisperModelInfo& model)
{
    ModelManager& store = ModelManager::shared();
    if (!store.isModelDownloaded(model.whisperModel))
        return;
    // Whether it is the active model now, not when the row was made.
    const std::optional<WhisperModel> active = store.activeModel();
    const bool wasActive = active && *active == model.whisperModel;
    if (store.deleteModel(model.whisperModel))
        return;
    if (wasActive) {
        for (const WhisperModel candidate : WhisperModel::allCases()) {
            if (candidate == model.whisperModel || !store.isModelDownloaded(candidate))
                continue;
            store.setActiveModel(candidate);
            break;
        }
    }
    loadModels();
}

// Reports arrive on the main thread; their effect follows on a later turn,
// and only while the reporting download is still the model's current one:
// a cancelled or replaced download leaves the newer entries alone.
void PopoverViewModel::afterReport(WhisperModel model, std::function<void()> work)
{
    const auto entry = downloaders.find(model);
    if (entry == downloaders.end())
        return;
    std::weak_ptr<ModelDownloader> reporter = entry->second;
    QPointer<PopoverViewModel> self(this);
    Dispatch::main().async([self, model, reporter, work = std::move(work)] {
        if (!self)
            return;
        const auto current = self->downloaders.find(model);
        if (current == self->downloaders.end() || current->second != reporter.lock())
            return;
        work();
    });
}

void PopoverViewModel::downloadDidStart(WhisperModel model)
{
    afterReport(model, [this, model] {
        QMap<QString, double> progress = progressByModel;
        progress.insert(model.rawValue(), 0.0);
        setDownloadProgress(progress);
    });
}

void PopoverViewModel::downloadDidUpdateProgress(double fraction, qint64, qint64, WhisperModel model)
{
    afterReport(model, [this, model, fraction] {
        QMap<QString, double> progress = progressByModel;
        progress.insert(model.rawValue(), fraction);
        setDownloadProgress(progress);
    });
}

void PopoverViewModel::downloadDidComplete(WhisperModel model)
{
    afterReport(model, [this, model] { downloadDidEnd(model); });
}

// A failure is not shown: the entries go and the rows are rebuilt.
void PopoverViewModel::downloadDidFail(const TallowindError&, WhisperModel model)
{
    afterReport(model, [this, model] { downloadDidEnd(model); });
}

void PopoverViewModel::downloadDidEnd(WhisperModel model)
{
    downloaders.erase(model);
    QMap<QString, double> progress = progressByModel;
    progress.remove(model.rawValue());
    setDownloadProgress(progress);
    loadModels();
}
