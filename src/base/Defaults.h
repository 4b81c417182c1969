#pragma once

#include <QSettings>
#include <QString>
#include <QVariant>

#include <memory>

// The user defaults store: QSettings in a typed JSON file at
// ~/.config/Tallowind/Tallowind.json. Every write is synced at once.
namespace Defaults {

QSettings::Format jsonFormat();
std::unique_ptr<QSettings> open();

QVariant value(const QString& key);
bool contains(const QString& key);
void setValue(const QString& key, const QVariant& value);
void remove(const QString& key);

// The conversions behind the file format, exposed for tests.
QByteArray encode(const QSettings::SettingsMap& map);
bool decode(const QByteArray& bytes, QSettings::SettingsMap& map);

} // namespace Defaults
