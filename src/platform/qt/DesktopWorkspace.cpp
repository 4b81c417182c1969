#include "platform/qt/DesktopWorkspace.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>

#include <array>

QStringList DesktopWorkspace::soundSettingsCommand()
{
    // Desktop settings programs that have a sound/input page, then the
    // stand-alone mixers. The first one installed wins.
    static const std::array<QStringList, 6> candidates{{
        {QStringLiteral("gnome-control-center"), QStringLiteral("sound")},
        {QStringLiteral("systemsettings"), QStringLiteral("kcm_pulseaudio")},
        {QStringLiteral("cinnamon-settings"), QStringLiteral("sound")},
        {QStringLiteral("mate-volume-control"), QStringLiteral("--page=input")},
        {QStringLiteral("pavucontrol"), QStringLiteral("--tab=4")},
        {QStringLiteral("pavucontrol-qt")},
    }};
    for (const QStringList& candidate : candidates) {
        const QString program = QStandardPaths::findExecutable(candidate.front());
        if (!program.isEmpty())
            return QStringList{program} + candidate.mid(1);
    }
    return {};
}

bool DesktopWorkspace::openURL(const QUrl& url)
{
    if (!url.isValid())
        return false;
    if (url == microphoneSettingsURL()) {
        const QStringList command = soundSettingsCommand();
        if (command.isEmpty())
            return false;
        return QProcess::startDetached(command.front(), command.mid(1));
    }
    return QDesktopServices::openUrl(url);
}
