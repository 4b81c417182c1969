#pragma once

#include <QColor>
#include <QGuiApplication>
#include <QPalette>

#include <utility>

// Layout and timing constants of a progress window with a waveform, a
// duration label and buttons, with its progress colour.
struct RecordingProgressTheme {
    explicit RecordingProgressTheme(QColor progress = QGuiApplication::palette().color(QPalette::Highlight))
        : progressColor(std::move(progress))
    {
    }

    const QColor progressColor;

    static constexpr double leftPadding = 16;
    static constexpr double leftPaddingWithButton = 16;
    static constexpr double rightPaddingNormal = 100;
    static constexpr double rightPaddingWithButton = 105;
    static constexpr double durationMarginNormal = 16;
    static constexpr double durationMarginWithButton = 36;
    static constexpr double buttonSize = 24;
    static constexpr double smallButtonSize = 20;
    static constexpr double buttonTrailingMargin = 10;
    static constexpr double closeButtonMargin = 6;
    static constexpr double buttonIconSize = 16;
    static constexpr double smallButtonIconSize = 12;
    static constexpr float buttonNormalOpacity = 0.6f;
    static constexpr float buttonHoverOpacity = 0.8f;
    static constexpr double waveformHeight = 32;
    static constexpr double waveformVerticalOffset = 0;
    static constexpr double waveformBarWidth = 3;
    static constexpr double waveformBarSpacing = 2;
    static constexpr int waveformMaxBars = 35;
    static constexpr double waveformMinBarHeight = 3;
    static constexpr double hoverAnimationDuration = 0.15;
    static constexpr double clickAnimationDuration = 0.15;
};
