#include "shell/theme/ProgressWindowConfig.h"

#include "shell/theme/RecordingProgressTheme.h"

ProgressWindowConfig progressWindowConfig(const RecordingState& state)
{
    using Theme = RecordingProgressTheme;
    if (state.showsDoneButton())
        return {true, Theme::leftPaddingWithButton, Theme::rightPaddingWithButton, Theme::durationMarginWithButton};
    return {false, Theme::leftPadding, Theme::rightPaddingNormal, Theme::durationMarginNormal};
}
