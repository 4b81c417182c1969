#pragma once

#include "core/state/RecordingState.h"

// Paddings of a recording progress window, which depend on whether the
// window carries a done button.
struct ProgressWindowConfig {
    bool showsDoneButton = false;
    double waveformLeftPadding = 0;
    double waveformRightPadding = 0;
    double durationRightMargin = 0;
};

ProgressWindowConfig progressWindowConfig(const RecordingState& state);
