#pragma once

#include <QList>
#include <QString>

#include <optional>

// The pages of the Settings window, in sidebar order.
enum class SettingsTab { models, dictionary, recordings, advanced };

namespace SettingsTabs {

QList<SettingsTab> allCases();
QString rawValue(SettingsTab tab);
// Exactly the four lower-case raw values; nothing for any other text.
std::optional<SettingsTab> fromRawValue(const QString& rawValue);
QString title(SettingsTab tab);
// The name of the tab's icon among our symbols.
QString systemImage(SettingsTab tab);

} // namespace SettingsTabs
