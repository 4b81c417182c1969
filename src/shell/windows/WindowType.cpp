#include "shell/windows/WindowType.h"

std::optional<WindowType> WindowType::fromRawValue(const QString& rawValue)
{
    for (WindowType type : allCases())
        if (type.rawValue() == rawValue)
            return type;
    return std::nullopt;
}

QList<WindowType> WindowType::allCases()
{
    return {settings, popover, recordingProgress, streamingProgress, firstLaunch};
}

QString WindowType::rawValue() const
{
    switch (kind) {
    case settings:
        return QStringLiteral("settings");
    case popover:
        return QStringLiteral("popover");
    case recordingProgress:
        return QStringLiteral("recordingProgress");
    case streamingProgress:
        return QStringLiteral("streamingProgress");
    case firstLaunch:
        return QStringLiteral("firstLaunch");
    }
    return {};
}

QString WindowType::title() const
{
    switch (kind) {
    case settings:
        return QStringLiteral("Settings");
    case popover:
        return QStringLiteral("Tallowind");
    case recordingProgress:
        return QStringLiteral("Recording");
    case streamingProgress:
        return QStringLiteral("Streaming");
    case firstLaunch:
        return QStringLiteral("Welcome to Tallowind");
    }
    return {};
}

QString WindowType::id() const
{
    return QStringLiteral("com.tallowind.window.") + rawValue();
}
