#include "settings/tabs/SettingsTab.h"

namespace SettingsTabs {

QList<SettingsTab> allCases()
{
    return {SettingsTab::models, SettingsTab::dictionary, SettingsTab::recordings, SettingsTab::advanced};
}

QString rawValue(SettingsTab tab)
{
    switch (tab) {
    case SettingsTab::models:
        return QStringLiteral("models");
    case SettingsTab::dictionary:
        return QStringLiteral("dictionary");
    case SettingsTab::recordings:
        return QStringLiteral("recordings");
    case SettingsTab::advanced:
        return QStringLiteral("advanced");
    }
    return {};
}

std::optional<SettingsTab> fromRawValue(const QString& value)
{
    for (SettingsTab tab : allCases())
        if (rawValue(tab) == value)
            return tab;
    return std::nullopt;
}

QString title(SettingsTab tab)
{
    switch (tab) {
    case SettingsTab::models:
        return QStringLiteral("Models");
    case SettingsTab::dictionary:
        return QStringLiteral("Dictionary");
    case SettingsTab::recordings:
        return QStringLiteral("Recordings");
    case SettingsTab::advanced:
        return QStringLiteral("Advanced");
    }
    return {};
}

QString systemImage(SettingsTab tab)
{
    switch (tab) {
    case SettingsTab::models:
        return QStringLiteral("cpu");
    case SettingsTab::dictionary:
        return QStringLiteral("book.closed");
    case SettingsTab::recordings:
        return QStringLiteral("mic");
    case SettingsTab::advanced:
        return QStringLiteral("gearshape");
    }
    return {};
}

} // namespace SettingsTabs
