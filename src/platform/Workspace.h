#pragma once

#include <QFileInfo>
#include <QString>
#include <QUrl>

// Opening addresses in the desktop's applications.
class Workspace {
public:
    // The address of the desktop's microphone (sound input) settings.
    static QUrl microphoneSettingsURL() { return QUrl(QStringLiteral("x-tallowind-settings:privacy/microphone")); }
    // The start page of the desktop's settings program.
    static QUrl systemSettingsURL() { return QUrl(QStringLiteral("x-tallowind-settings:")); }

    virtual ~Workspace() = default;
    // False when nothing could be opened for the address.
    virtual bool openURL(const QUrl& url) = 0;
    // Whether something on this desktop can open the address (a settings
    // address needs its program installed), so callers can hide what would
    // do nothing.
    virtual bool canOpenURL(const QUrl& url) const { return url.isValid(); }
    // Shows the file selected in the desktop's file manager; where that is
    // not possible, opens the folder that holds it. False when nothing could
    // be asked to show it.
    virtual bool revealFile(const QString& path)
    {
        return openURL(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
    }
};
