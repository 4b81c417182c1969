// The construction and loading entry of the Settings view model, kept apart
// so that the models-and-downloads half of the class can replace it.
#include "settings/SettingsViewModel.h"

SettingsViewModel::SettingsViewModel(QObject* parent) : QObject(parent) {}

void SettingsViewModel::loadInitialData()
{
    loadDictionary();
    loadRecordings();
}
