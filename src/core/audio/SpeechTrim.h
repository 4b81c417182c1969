#pragma once

#include <QString>

#include <vector>

class VoiceActivityDetector;

// Chooses the part of a finished recording that is handed to the recognizer,
// by the detector's segments and the segmentation mode, and writes the
// "[VAD] ..." log lines of that choice.
namespace SpeechTrim {

// Segment spans with more segments than this always use the span trim.
inline constexpr int64_t maxSegmentsForExtraction = 3;
// A recording whose largest sample stays below this is silent.
inline constexpr float silenceThreshold = 0.001f;

struct Decision {
    std::vector<float> audio; // what to transcribe
    bool silent = false; // the silence gate dropped the recording
};

// `detector` is the finalized detector of the recording, or null when the
// recording had none. `segmentationEnabled` and `mode` are the settings.
Decision select(const std::vector<float>& recording, const VoiceActivityDetector* detector, bool segmentationEnabled,
    const QString& mode, double sampleRate);

// Samples of trim margin kept around the speech span.
int64_t spanMargin(double sampleRate);

} // namespace SpeechTrim
