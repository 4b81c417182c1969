#include "settings/SettingsViewModel.h"

#include "downloads/ModelDownloads.h"

SettingsViewModel::SettingsViewModel(QObject* parent) : QObject(parent)
{
    setModelDownloads(std::make_shared<ModelDownloads>());
}

// Downloads still running keep themselves alive and land their files; they
// just stop reporting here.
SettingsViewModel::~SettingsViewModel() = default;

void SettingsViewModel::loadInitialData()
{
    loadDictionary();
    loadModels();
    loadRecordings();
}
