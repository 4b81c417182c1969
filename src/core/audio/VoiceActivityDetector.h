#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// Splits one recording (mono float samples) into speech segments by frame
// energy against an adaptive threshold. One detector per recording; it is fed
// from one thread at a time and holds no lock. Energies and times are 32-bit
// floats on purpose: the derived frame counts depend on float rounding.
class VoiceActivityDetector {
public:
    struct Configuration {
        const float frameDuration = 0.02f;
        const float paddingDuration = 0.5f;
        const float thresholdMultiplier = 1.5f;
        const float minSilenceDuration = 1.0f;
        const float minEnergyThreshold = 0.0001f;
        const int64_t historySize = 75;
        const float energyFloor = 1e-10f;
        const float smoothingFactor = 0.95f;
    };

    struct SpeechSegment {
        int64_t startSample = 0; // inclusive
        int64_t endSample = 0; // exclusive; may lie beyond the recording
        float startTime = 0;
        float endTime = 0;
    };

    explicit VoiceActivityDetector(float sampleRate);
    VoiceActivityDetector(float sampleRate, Configuration configuration);

    void reset();
    // Analyses one frame whose first sample sits at `sampleIndex` in the
    // recording; true when it counts as speech. Frames shorter than
    // frameSize() are ignored.
    bool processFrame(std::span<const float> frame, int64_t sampleIndex);
    // Closes the analysis once, after the last frame.
    void finalizeRecording(int64_t totalSampleCount);
    // The samples inside the segments, widened by 50 ms on each side;
    // overlapping windows are copied once. Nothing when no sample qualifies.
    std::optional<std::vector<float>> extractSpeechBuffer(std::span<const float> audio) const;

    float silenceReductionRatio() const;
    int64_t speechSegmentCount() const { return static_cast<int64_t>(speechSegments.size()); }
    float totalSpeechDuration() const;
    const std::vector<SpeechSegment>& segments() const { return speechSegments; }

    float sampleRate() const { return detectorSampleRate; }
    const Configuration& config() const { return detectorConfig; }
    int64_t frameSize() const { return samplesPerFrame; }
    int64_t paddingFrames() const { return paddingFrameCount; }
    int64_t minSilenceFrames() const { return minSilenceFrameCount; }

private:
    float calculateEnergy(std::span<const float> frame) const;
    void updateAdaptiveThreshold(float energy);
    void appendSegment(int64_t start, int64_t end);

    const float detectorSampleRate;
    const Configuration detectorConfig;
    const int64_t samplesPerFrame;
    const int64_t paddingFrameCount;
    const int64_t minSilenceFrameCount;

    std::vector<float> energyHistory;
    // Scratch space for the percentile, kept so the capture thread does not
    // allocate per frame.
    std::vector<float> sortScratch;
    float baselineEnergy = 0;
    float adaptiveThreshold = 0;
    float previousEnergy = 0;
    bool isSpeechActive = false;
    int64_t silenceFrameCount = 0;
    std::vector<SpeechSegment> speechSegments;
    std::optional<int64_t> currentSegmentStart;
    int64_t totalSamples = 0;
    int64_t totalSpeechSamples = 0;
};
