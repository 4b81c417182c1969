#include "core/audio/VoiceActivityDetector.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr size_t warmUpFrames = 10;

} // namespace

VoiceActivityDetector::VoiceActivityDetector(float sampleRate) : VoiceActivityDetector(sampleRate, Configuration()) {}

VoiceActivityDetector::VoiceActivityDetector(float sampleRate, Configuration configuration)
    : sampleRate_(sampleRate)
    , config_(configuration)
    , frameSize_(static_cast<int64_t>(sampleRate * configuration.frameDuration))
    , paddingFrames_(static_cast<int64_t>(std::round(configuration.paddingDuration / configuration.frameDuration)))
    , minSilenceFrames_(static_cast<int64_t>(std::round(configuration.minSilenceDuration / configuration.frameDuration)))
{
    energyHistory_.reserve(static_cast<size_t>(config_.historySize) + 1);
    sortScratch_.reserve(static_cast<size_t>(config_.historySize) + 1);
}

void VoiceActivityDetector::reset()
{
    energyHistory_.clear();
    baselineEnergy_ = 0;
    adaptiveThreshold_ = 0;
    previousEnergy_ = 0;
    isSpeechActive_ = false;
    silenceFrameCount_ = 0;
    speechSegments_.clear();
    currentSegmentStart_.reset();
    totalSamples_ = 0;
    totalSpeechSamples_ = 0;
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
    return std::max(mean, config_.energyFloor);
}

void VoiceActivityDetector::updateAdaptiveThreshold(float energy)
{
    energyHistory_.push_back(energy);
    if (static_cast<int64_t>(energyHistory_.size()) > config_.historySize)
        energyHistory_.erase(energyHistory_.begin());

    if (energyHistory_.size() < warmUpFrames) {
        adaptiveThreshold_ = energy * config_.thresholdMultiplier;
        return;
    }
    // The 25th-percentile entry; selecting it yields the same value a full
    // sort would put at that index.
    sortScratch_.assign(energyHistory_.begin(), energyHistory_.end());
    const auto index = static_cast<size_t>(static_cast<float>(sortScratch_.size()) * 0.25f);
    std::nth_element(sortScratch_.begin(), sortScratch_.begin() + static_cast<std::ptrdiff_t>(index), sortScratch_.end());
    baselineEnergy_ = sortScratch_[index];
    adaptiveThreshold_ = std::max(baselineEnergy_ * config_.thresholdMultiplier, config_.minEnergyThreshold * 2.0f);
}

bool VoiceActivityDetector::processFrame(std::span<const float> frame, int64_t sampleIndex)
{
    if (static_cast<int64_t>(frame.size()) < frameSize_)
        return false;

    const float energy = calculateEnergy(frame);
    updateAdaptiveThreshold(energy);

    const float smoothed = energy * (1.0f - config_.smoothingFactor) + previousEnergy_ * config_.smoothingFactor;
    previousEnergy_ = smoothed;

    const bool isSpeech = smoothed > adaptiveThreshold_ && smoothed > config_.minEnergyThreshold;
    totalSamples_ += static_cast<int64_t>(frame.size());

    const int64_t padding = paddingFrames_ * frameSize_;
    if (isSpeech) {
        silenceFrameCount_ = 0;
        if (!isSpeechActive_) {
            isSpeechActive_ = true;
            currentSegmentStart_ = std::max<int64_t>(0, sampleIndex - padding);
        }
    } else if (isSpeechActive_) {
        silenceFrameCount_ += 1;
        if (silenceFrameCount_ >= minSilenceFrames_) {
            isSpeechActive_ = false;
            if (currentSegmentStart_) {
                appendSegment(*currentSegmentStart_, sampleIndex + padding);
                currentSegmentStart_.reset();
            }
        }
    }
    return isSpeech;
}

void VoiceActivityDetector::finalizeRecording(int64_t totalSampleCount)
{
    if (isSpeechActive_ && currentSegmentStart_) {
        appendSegment(*currentSegmentStart_, totalSampleCount);
        return;
    }
    const auto oneSecond = static_cast<int64_t>(1.0f * sampleRate_);
    const int64_t tailStart = std::max<int64_t>(0, totalSampleCount - oneSecond);
    if (speechSegments_.empty() || speechSegments_.back().endSample < tailStart)
        appendSegment(tailStart, totalSampleCount);
}

void VoiceActivityDetector::appendSegment(int64_t start, int64_t end)
{
    speechSegments_.push_back({start, end, static_cast<float>(start) / sampleRate_, static_cast<float>(end) / sampleRate_});
    totalSpeechSamples_ += end - start;
}

std::optional<std::vector<float>> VoiceActivityDetector::extractSpeechBuffer(std::span<const float> audio) const
{
    if (speechSegments_.empty())
        return std::nullopt;

    const auto margin = static_cast<int64_t>(0.05f * sampleRate_);
    const auto available = static_cast<int64_t>(audio.size());

    struct Window {
        int64_t from;
        int64_t to;
    };
    std::vector<Window> windows;
    windows.reserve(speechSegments_.size());
    for (const SpeechSegment& segment : speechSegments_) {
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
    if (totalSamples_ <= 0)
        return 0;
    return 1.0f - static_cast<float>(totalSpeechSamples_) / static_cast<float>(totalSamples_);
}

float VoiceActivityDetector::totalSpeechDuration() const
{
    float total = 0;
    for (const SpeechSegment& segment : speechSegments_)
        total += segment.endTime - segment.startTime;
    return total;
}
