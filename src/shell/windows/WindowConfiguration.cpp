#include "shell/windows/WindowConfiguration.h"

using Style = WindowConfiguration::WindowStyle;

WindowConfiguration WindowConfiguration::configuration(WindowType type)
{
    switch (type.value()) {
    case WindowType::settings:
        return {type, Style::regular, true, true, true, false, false, false, QSize(600, 400), QSize(500, 350),
            std::nullopt};
    case WindowType::popover:
        return {type, Style::popover, false, true, true, true, true, true, QSize(380, 240), std::nullopt, std::nullopt};
    case WindowType::recordingProgress:
    case WindowType::streamingProgress:
        return {
            type, Style::floating, false, true, false, true, true, false, QSize(320, 100), std::nullopt, std::nullopt};
    case WindowType::firstLaunch:
        return {
            type, Style::regular, false, true, true, false, false, false, QSize(500, 400), std::nullopt, std::nullopt};
    }
    return {type, Style::regular, true, true, true, false, false, false, std::nullopt, std::nullopt, std::nullopt};
}

WindowSceneSettings windowConfiguration(WindowType type)
{
    const WindowConfiguration row = WindowConfiguration::configuration(type);
    return {
        row.resizable ? WindowSceneSettings::Resizability::automatic : WindowSceneSettings::Resizability::contentSize,
        row.defaultSize.value_or(QSize(600, 400))};
}
