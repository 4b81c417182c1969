#include "settings/SettingsViewModel.h"

SettingsViewModel::SettingsViewModel(QObject* parent) : QObject(parent) { }

// Downloads still running keep themselves alive and land their files; they
// just stop reporting here.
SettingsViewModel::~SettingsViewModel() = default;

void SettingsViewModel::loadInitialData()
{
    loadDictionary();
    loadModels();
    loadRecordings();
}
