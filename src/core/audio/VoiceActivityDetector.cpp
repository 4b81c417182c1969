#include "core/audio/VoiceActivityDetector.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr size_t warmUpFrames = 10;

} // namespace

VoiceActivityDetector::VoiceActivityDetector(float sampleRate) : VoiceActivityDetector(sampleRate, Configuration()) { }

VoiceActivityDetector::VoiceActivityDetector(float sampleRate, Configuration configuration)
    : detectorSampleRate(sampleRate),
      detectorConfig(configuration),
      samplesPerFrame(static_cast<int64_t>(sampleRate * configuration.frameDuration)),
      paddingFrameCount(static_cast<int64_t>(std::round(configuration.paddingDuration / configuration.frameDuration))),
      minSilenceFrameCount(
          static_cast<int64_t>(std::round(configuration.minSilenceDuration / configuration.frameDuration)))
{
    energyHistory.reserve(static_cast<size_t>(detectorConfig.historySize) + 1);
    sortScratch.reserve(static_cast<size_t>(detectorConfig.historySize) + 1);
}

void VoiceActivityDetector::reset()
{
    energyHistory.clear();
    baselineEnergy = 0;
    adaptiveThreshold = 0;
    previousEnergy = 0;
    isSpeechActive = false;
    silenceFrameCount = 0;
    speechSegments.clear();
    currentSegmentStart.reset();
    totalSamples = 0;
    totalSpeechSamples = 0;
}

float VoiceActivityDetector::calculateEnergy(std::span<const float> frame) const
{
    // Mean of squares with independent partial sums, so the loop vectorizes.
    constexpr size_t lanes = 8;
    float partial[lanes] = {};
    const size_t count = frame.size();
    const size_t whole = count - count % lanes;
    for (size_t i = 0; i < whole; i += lanes) {
        for (size_t lane = 0; lane < lanes; ++lane)
            partial[lane] += frame[i + lane] * frame[i + lane];
    }
    float sum = 0;
    for (size_t i = whole; i < count; ++i)
        sum += frame[i] * frame[i];
    for (float value : partial)
        sum += value;
    const float mean = count > 0 ? sum / static_cast<float>(count) : 0.0f;
    return std::max(mean, detectorConfig.energyFloor);
}

void VoiceActivityDetector::updateAdaptiveThreshold(float energy)
{
    energyHistory.push_back(energy);
    if (static_cast<int64_t>(energyHistory.size()) > detectorConfig.historySize)
        energyHistory.erase(energyHistory.begin());

    if (energyHistory.size() < warmUpFrames) {
        adaptiveThreshold = energy * detectorConfig.thresholdMultiplier;
        return;
    }
    // The 25th-percentile entry; selecting it yields the same value a full
    // sort would put at that index.
    sortScratch.assign(energyHistory.begin(), energyHistory.end());
    const auto index = static_cast<size_t>(static_cast<float>(sortScratch.size()) * 0.25f);
    std::nth_element(sortScratch.begin(), sortScratch.begin() + static_cast<std::ptrdiff_t>(index), sortScratch.end());
    baselineEnergy = sortScratch[index];
    adaptiveThreshold =
        std::max(baselineEnergy * detectorConfig.thresholdMultiplier, detectorConfig.minEnergyThreshold * 2.0f);
}

bool VoiceActivityDetector::processFrame(std::span<const float> frame, int64_t sampleIndex)
{
    if (static_cast<int64_t>(frame.size()) < samplesPerFrame)
        return false;

    const float energy = calculateEnergy(frame);
    updateAdaptiveThreshold(energy);

    const float smoothed =
        energy * (1.0f - detectorConfig.smoothingFactor) + previousEnergy * detectorConfig.smoothingFactor;
    previousEnergy = smoothed;

    const bool isSpeech = smoothed > adaptiveThreshold && smoothed > detectorConfig.minEnergyThreshold;
    totalSamples += static_cast<int64_t>(frame.size());

    const int64_t padding = paddingFrameCount * samplesPerFrame;
    if (isSpeech) {
        silenceFrameCount = 0;
        if (!isSpeechActive) {
            isSpeechActive = true;
            currentSegmentStart = std::max<int64_t>(0, sampleIndex - padding);
        }
    } else if (isSpeechActive) {
        silenceFrameCount += 1;
        if (silenceFrameCount >= minSilenceFrameCount) {
            isSpeechActive = false;
            if (currentSegmentStart) {
                appendSegment(*currentSegmentStart, sampleIndex + padding);
                currentSegmentStart.reset();
            }
        }
    }
    return isSpeech;
}

void VoiceActivityDetector::finalizeRecording(int64_t totalSampleCount)
{
    if (isSpeechActive && currentSegmentStart) {
        appendSegment(*currentSegmentStart, totalSampleCount);
        return;
    }
    const auto oneSecond = static_cast<int64_t>(1.0f * detectorSampleRate);
    const int64_t tailStart = std::max<int64_t>(0, totalSampleCount - oneSecond);
    if (speechSegments.empty() || speechSegments.back().endSample < tailStart)
        appendSegment(tailStart, totalSampleCount);
}

void VoiceActivityDetector::appendSegment(int64_t start, int64_t end)
{
    speechSegments.push_back(
        {start, end, static_cast<float>(start) / detectorSampleRate, static_cast<float>(end) / detectorSampleRate});
    totalSpeechSamples += end - start;
}

std::optional<std::vector<float>> VoiceActivityDetector::extractSpeechBuffer(std::span<const float> audio) const
{
    if (speechSegments.empty())
        return std::nullopt;

    const auto margin = static_cast<int64_t>(0.05f * detectorSampleRate);
    const auto available = static_cast<int64_t>(audio.size());

    struct Window {
        int64_t from;
        int64_t to;
    };
    std::vector<Window> windows;
    windows.reserve(speechSegments.size());
    for (const SpeechSegment& segment : speechSegments) {
        const int64_t from = std::max<int64_t>(0, segment.startSample - margin);
        const int64_t to = std::min(available, segment.endSample + margin);
        if (from < to)
            windows.push_back({from, to});
    }
    // Neighbouring segments can overlap by up to a second of padding; the
    // recognizer must hear each sample once, so overlapping windows merge.
    std::stable_sort(windows.begin(), windows.end(), [](const Window& a, const Window& b) { return a.from < b.from; });
    std::vector<Window> merged;
    for (const Window& window : windows) {
        if (!merged.empty() && window.from < merged.back().to)
            merged.back().to = std::max(merged.back().to, window.to);
        else
            merged.push_back(window);
    }

    std::vector<float> result;
    for (const Window& window : merged)
        result.insert(result.end(), audio.begin() + window.from, audio.begin() + window.to);
    if (result.empty())
        return std::nullopt;
    return result;
}

float VoiceActivityDetector::silenceReductionRatio() const
{
    if (totalSamples <= 0)
        return 0;
    return 1.0f - static_cast<float>(totalSpeechSamples) / static_cast<float>(totalSamples);
}

float VoiceActivityDetector::totalSpeechDuration() const
{
    float total = 0;
    for (const SpeechSegment& segment : speechSegments)
        total += segment.endTime - segment.startTime;
    return total;
}
