#pragma once

#include "platform/Workspace.h"

#include <QStringList>

// Opens addresses through the desktop's URL handlers and reveals files in
// its file manager. The microphone settings
// address starts the first sound-settings program found on the PATH.
class DesktopWorkspace final : public Workspace {
public:
    bool openURL(const QUrl& url) override;
    // Asks the file manager over D-Bus (org.freedesktop.FileManager1) without
    // waiting for it; when no file manager answers, opens the folder instead.
    bool revealFile(const QString& path) override;

    // Program and arguments for the sound settings, empty when none is known
    // on this system.
    static QStringList soundSettingsCommand();
};
