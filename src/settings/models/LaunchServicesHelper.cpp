#include "settings/models/LaunchServicesHelper.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

QString LaunchServicesHelper::autostartEntryPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/autostart/tallowind.desktop");
}

QString LaunchServicesHelper::execArgument(const QString& argument)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    QString escaped;
    bool quote = argument.isEmpty();
    for (QChar c : argument) {
        if (reserved.contains(c))
            quote = true;
        // Inside quotes these four take a backslash.
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            escaped += QLatin1Char('\\');
        escaped += c;
    }
    if (quote)
        escaped = QLatin1Char('"') + escaped + QLatin1Char('"');
    // Then the rules of every string value: "%" starts a field code and a
    // backslash is itself escaped.
    escaped.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    escaped.replace(QLatin1Char('%'), QStringLiteral("%%"));
    return escaped;
}

QByteArray LaunchServicesHelper::autostartEntry(const QString& program)
{
    QString entry;
    entry += QStringLiteral("[Desktop Entry]\n");
    entry += QStringLiteral("Type=Application\n");
    entry += QStringLiteral("Name=Tallowind\n");
    entry += QStringLiteral("Comment=Local dictation\n");
    entry += QStringLiteral("Exec=") + execArgument(program) + QLatin1Char('\n');
    entry += QStringLiteral("Terminal=false\n");
    entry += QStringLiteral("X-GNOME-Autostart-enabled=true\n");
    return entry.toUtf8();
}

std::optional<QString> LaunchServicesHelper::enableLaunchAtLogin()
{
    const QString path = autostartEntryPath();
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder))
        return QStringLiteral("Could not create %1").arg(folder);
    QSaveFile file(path);
    const QByteArray entry = autostartEntry(QCoreApplication::applicationFilePath());
    if (!file.open(QIODevice::WriteOnly) || file.write(entry) != entry.size() || !file.commit())
        return QStringLiteral("Could not write %1: %2").arg(path, file.errorString());
    return std::nullopt;
}

std::optional<QString> LaunchServicesHelper::disableLaunchAtLogin()
{
    const QString path = autostartEntryPath();
    QFileInfo entry(path);
    if (!entry.exists() && !entry.isSymLink())
        return std::nullopt;
    QFile file(path);
    if (!file.remove())
        return QStringLiteral("Could not remove %1: %2").arg(path, file.errorString());
    return std::nullopt;
}
