#include "popover/PopoverViewModel.h"

#include "base/Defaults.h"
#include "base/Published.h"
#include "core/speech/ModelManager.h"
#include "downloads/ModelDownloader.h"

PopoverViewModel::PopoverViewModel(PopoverHost* host, QObject* parent) : QObject(parent), hostLink(host)
{
    setupObservers();
    loadModels();
    loadDictionaryWords();
}

// Running downloads stop with the model that started them.
PopoverViewModel::~PopoverViewModel()
{
    for (auto& [model, downloader] : downloaders)
        downloader->cancelDownload();
}

std::optional<WhisperModelInfo> PopoverViewModel::activeModel() const
{
    for (const WhisperModelInfo& row : modelRows) {
        if (row.isActive)
            return row;
    }
    return std::nullopt;
}

void PopoverViewModel::setExpanded(bool value)
{
    expanded = value;
    emit isExpandedChanged(expanded);
    if (PopoverHost* current = host())
        current->resizePopoverPanel(value);
}

void PopoverViewModel::recordingDidFail()
{
    emit recordingFailed();
}

void PopoverViewModel::loadModels()
{
    ModelManager& store = ModelManager::shared();
    const std::optional<WhisperModel> active = store.activeModel();
    QList<WhisperModelInfo> rows;
    for (const WhisperModel model : WhisperModel::allCasesRecommendedOrder())
        rows.append(WhisperModelInfo::make(model, active && *active == model, store.isModelDownloaded(model)));
    setModels(rows);
}

void PopoverViewModel::selectModel(const WhisperModelInfo& model)
{
    // A model on disk is switched to as Settings does it, so the model in
    // use is let go and the next dictation loads the chosen one.
    ModelManager& store = ModelManager::shared();
    if (store.isModelDownloaded(model.whisperModel))
        store.switchModel(model.whisperModel, [](const std::optional<TallowindError>&) {});
    else
        store.setActiveModel(model.whisperModel);
    loadModels();
}

// The active model lives in the settings store, so any write there (ours,
// the Settings window's, the model store's) may change the rows.
void PopoverViewModel::setupObservers()
{
    connect(&Defaults::changes(), &Defaults::ChangeSignal::changed, this, &PopoverViewModel::loadModels);
}

void PopoverViewModel::loadDictionaryWords()
{
    const QVariant stored = Defaults::value(QString::fromLatin1(dictionaryWordsKey));
    QStringList list;
    if (stored.typeId() == QMetaType::QStringList) {
        list = stored.toStringList();
    } else if (stored.typeId() == QMetaType::QVariantList) {
        for (const QVariant& item : stored.toList()) {
            if (item.typeId() != QMetaType::QString) {
                list.clear();
                break;
            }
            list.append(item.toString());
        }
    }
    setDictionaryWords(list);
}

void PopoverViewModel::setModels(const QList<WhisperModelInfo>& value)
{
    publish(this, modelRows, value, &PopoverViewModel::modelsChanged);
}

void PopoverViewModel::setDownloadProgress(const QMap<QString, double>& value)
{
    publish(this, progressByModel, value, &PopoverViewModel::downloadProgressChanged);
}

void PopoverViewModel::setDictionaryWords(const QStringList& value)
{
    publish(this, words, value, &PopoverViewModel::dictionaryWordsChanged);
}
