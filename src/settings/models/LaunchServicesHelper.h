#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Starting the tool at login: an XDG autostart entry,
// $XDG_CONFIG_HOME/autostart/tallowind.desktop. Each operation returns the
// reason when it fails.
class LaunchServicesHelper {
public:
    LaunchServicesHelper() = delete;

    // Writes the entry (through a temporary file renamed into place).
    static std::optional<QString> enableLaunchAtLogin();
    // Removes the entry; no entry is no failure.
    static std::optional<QString> disableLaunchAtLogin();

    static QString autostartEntryPath();
    // The entry that starts `program`.
    static QByteArray autostartEntry(const QString& program);
    // One argument of an Exec line, quoted and escaped as desktop entries
    // require.
    static QString execArgument(const QString& argument);
};
