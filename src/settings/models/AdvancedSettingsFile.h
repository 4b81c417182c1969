#pragma once

#include "settings/models/AdvancedSettings.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <variant>

// The settings export file: one JSON object of eleven members named after
// the settings, pretty-printed.
namespace AdvancedSettingsFile {

inline const QString defaultFileName = QStringLiteral("tallowind-settings.json");

QByteArray encode(const AdvancedSettings& settings);

// The members that are present with the right JSON type and a valid value
// (a boolean member a JSON boolean; an integer member an integral number
// within its range; numbers finite and within their ranges); every other
// member is left out. Text that is not JSON is an error; a root that is not
// an object gives no members.
std::variant<AdvancedSettingsUpdate, QString> decode(const QByteArray& bytes);

// Writes through a temporary file renamed over the target, so a failed
// write leaves an existing file as it was. The error text on failure.
std::optional<QString> write(const QString& path, const QByteArray& bytes);
std::variant<QByteArray, QString> read(const QString& path);

} // namespace AdvancedSettingsFile
