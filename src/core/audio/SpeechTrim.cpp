#include "core/audio/SpeechTrim.h"

#include "base/Log.h"
#include "core/audio/VoiceActivityDetector.h"

#include <algorithm>

namespace SpeechTrim {
namespace {

double seconds(size_t samples, double sampleRate)
{
    return static_cast<double>(samples) / sampleRate;
}

Decision segmented(
    const std::vector<float>& recording, const VoiceActivityDetector& detector, const QString& mode, double sampleRate)
{
    Log::system(QString::asprintf("[VAD] Speech: %.1fs, Segments: %d, Silence: %.0f%%",
        static_cast<double>(detector.totalSpeechDuration()), static_cast<int>(detector.speechSegmentCount()),
        static_cast<double>(detector.silenceReductionRatio()) * 100.0));
    const int64_t count = detector.speechSegmentCount();
    const double duration = seconds(recording.size(), sampleRate);

    if (mode == QLatin1String("off") || count == 0) {
        Log::system(QStringLiteral("[VAD] Using full audio (mode: %1, segments: %2)").arg(mode).arg(count));
        return {recording, false};
    }

    if (mode == QLatin1String("conservative") || count > maxSegmentsForExtraction) {
        const auto& segments = detector.segments();
        if (segments.empty())
            return {recording, false};
        const auto total = static_cast<int64_t>(recording.size());
        const int64_t start = std::max<int64_t>(0, segments.front().startSample - spanMargin(sampleRate));
        const int64_t end = std::min<int64_t>(total, segments.back().endSample + spanMargin(sampleRate));
        std::vector<float> span;
        if (end > start)
            span.assign(recording.begin() + start, recording.begin() + end);
        Log::system(QString::fromUtf8("[VAD] Conservative trim: %1s → %2s")
                        .arg(duration, 0, 'f', 1)
                        .arg(seconds(span.size(), sampleRate), 0, 'f', 1));
        return {std::move(span), false};
    }

    std::optional<std::vector<float>> speech = detector.extractSpeechBuffer(recording);
    if (!speech)
        return {recording, false};
    Log::system(QString::fromUtf8("[VAD] Smart mode: %1s → %2s")
                    .arg(duration, 0, 'f', 1)
                    .arg(seconds(speech->size(), sampleRate), 0, 'f', 1));
    return {std::move(*speech), false};
}

Decision gated(const std::vector<float>& recording, double sampleRate)
{
    Log::system(QStringLiteral("[VAD] No speech segments detected - attempting transcription anyway"));
    Log::system(QString::asprintf("[VAD] Audio duration: %.1fs (%lld samples)", seconds(recording.size(), sampleRate),
        static_cast<long long>(recording.size())));
    // The signed maximum: a recording that only swings negative counts as silent.
    const float peak = recording.empty() ? 0.0f : *std::max_element(recording.begin(), recording.end());
    if (peak < silenceThreshold) {
        Log::system(QString::asprintf("[VAD] Audio is silent (max amplitude: %f)", static_cast<double>(peak)));
        return {{}, true};
    }
    Log::system(QString::asprintf(
        "[VAD] Audio has content (max amplitude: %f), proceeding with transcription", static_cast<double>(peak)));
    return {recording, false};
}

} // namespace

int64_t spanMargin(double sampleRate)
{
    return static_cast<int64_t>(sampleRate * 0.5);
}

Decision select(const std::vector<float>& recording, const VoiceActivityDetector* detector, bool segmentationEnabled,
    const QString& mode, double sampleRate)
{
    if (detector && segmentationEnabled)
        return segmented(recording, *detector, mode, sampleRate);
    if (detector)
        return gated(recording, sampleRate);
    return {recording, false};
}

} // namespace SpeechTrim
