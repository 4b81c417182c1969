#pragma once

#include "platform/Workspace.h"

#include <QStringList>

// Opens addresses through the desktop's URL handlers. The microphone settings
// address starts the first sound-settings program found on the PATH.
class DesktopWorkspace final : public Workspace {
public:
    bool openURL(const QUrl& url) override;

    // Program and arguments for the sound settings, empty when none is known
    // on this system.
    static QStringList soundSettingsCommand();
};
