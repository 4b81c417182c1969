#pragma once

#include "platform/Workspace.h"

#include <QStringList>

// Opens addresses through the desktop's URL handlers. The settings addresses
// start the first matching settings program found on the PATH.
class DesktopWorkspace final : public Workspace {
public:
    bool openURL(const QUrl& url) override;
    bool canOpenURL(const QUrl& url) const override;

    // Program and arguments for the sound settings, empty when none is known
    // on this system.
    static QStringList soundSettingsCommand();
    // Program for the desktop's settings at their start page, empty when
    // none is known.
    static QStringList systemSettingsCommand();

private:
    // The command for one of our settings addresses; empty for others.
    static QStringList settingsCommandFor(const QUrl& url);
};
