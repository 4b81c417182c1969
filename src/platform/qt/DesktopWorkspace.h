#pragma once

#include "platform/Workspace.h"

#include <QStringList>

// Opens addresses through the desktop's URL handlers and reveals files in
// its file manager. The settings addresses start the first matching settings
// program found on the PATH.
class DesktopWorkspace final : public Workspace {
public:
    // A local folder goes to the file manager (ShowFolders) first.
    bool openURL(const QUrl& url) override;
    bool canOpenURL(const QUrl& url) const override;
    // Asks the file manager over D-Bus (org.freedesktop.FileManager1) without
    // waiting for it; when no file manager answers, opens the folder instead.
    bool revealFile(const QString& path) override;

    // Program and arguments for the sound settings, empty when none is known
    // on this system.
    static QStringList soundSettingsCommand();
    // Program for the desktop's settings at their start page, empty when
    // none is known.
    static QStringList systemSettingsCommand();

private:
    // The command for one of our settings addresses; empty for others.
    static QStringList settingsCommandFor(const QUrl& url);
    // Calls `method` of org.freedesktop.FileManager1 for `item`, opening
    // `fallback` through the URL handler when no file manager answers.
    static bool askFileManager(const QString& method, const QUrl& item, const QUrl& fallback);
};
