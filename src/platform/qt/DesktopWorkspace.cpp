#include "platform/qt/DesktopWorkspace.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDesktopServices>
#include <QFileInfo>
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

QStringList DesktopWorkspace::systemSettingsCommand()
{
    static const std::array<QString, 6> candidates{
        QStringLiteral("gnome-control-center"),
        QStringLiteral("systemsettings"),
        QStringLiteral("cinnamon-settings"),
        QStringLiteral("mate-control-center"),
        QStringLiteral("xfce4-settings-manager"),
        QStringLiteral("lxqt-config"),
    };
    for (const QString& candidate : candidates) {
        const QString program = QStandardPaths::findExecutable(candidate);
        if (!program.isEmpty())
            return {program};
    }
    return {};
}

QStringList DesktopWorkspace::settingsCommandFor(const QUrl& url)
{
    if (url == microphoneSettingsURL())
        return soundSettingsCommand();
    if (url == systemSettingsURL())
        return systemSettingsCommand();
    return {};
}

bool DesktopWorkspace::canOpenURL(const QUrl& url) const
{
    if (!url.isValid())
        return false;
    if (url == microphoneSettingsURL() || url == systemSettingsURL())
        return !settingsCommandFor(url).isEmpty();
    return true;
}

bool DesktopWorkspace::openURL(const QUrl& url)
{
    if (!url.isValid())
        return false;
    if (url == microphoneSettingsURL() || url == systemSettingsURL()) {
        const QStringList command = settingsCommandFor(url);
        if (command.isEmpty())
            return false;
        return QProcess::startDetached(command.front(), command.mid(1));
    }
    // Without xdg-utils Qt hands a folder to the web browser; the desktop's
    // file manager is the right program for it.
    if (url.isLocalFile() && QFileInfo(url.toLocalFile()).isDir())
        return askFileManager(QStringLiteral("ShowFolders"), url, url);
    return QDesktopServices::openUrl(url);
}

bool DesktopWorkspace::revealFile(const QString& path)
{
    const QFileInfo file(path);
    return askFileManager(QStringLiteral("ShowItems"), QUrl::fromLocalFile(file.absoluteFilePath()),
        QUrl::fromLocalFile(file.absolutePath()));
}

bool DesktopWorkspace::askFileManager(const QString& method, const QUrl& item, const QUrl& fallback)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return QDesktopServices::openUrl(fallback);

    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("/org/freedesktop/FileManager1"), QStringLiteral("org.freedesktop.FileManager1"), method);
    call << QStringList{item.toString()} << QString();
    // Starting a file manager may take seconds: never wait for it here.
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher, [fallback](QDBusPendingCallWatcher* done) {
        if (QDBusPendingReply<>(*done).isError())
            QDesktopServices::openUrl(fallback);
        done->deleteLater();
    });
    return true;
}
