#pragma once

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

struct SRC_STATE_tag;

// Turns captured audio (any rate, interleaved channels) into mono float at the
// recognizer's rate. Stateful: each captured buffer goes in exactly once and
// the resampler carries its filter history across buffers, so consecutive
// buffers join without gaps or repeats.
class AudioConverter {
public:
    // Null when the input format cannot be converted.
    static std::unique_ptr<AudioConverter> make(double inputRate, int inputChannels, double outputRate);
    ~AudioConverter();
    AudioConverter(const AudioConverter&) = delete;
    AudioConverter& operator=(const AudioConverter&) = delete;

    // Appends the converted samples of `frameCount` interleaved frames to
    // `output`. False with a reason when the resampler failed.
    bool convert(const float* frames, int64_t frameCount, std::vector<float>& output, QString* error);

    double inputRate() const { return sourceRate; }
    int inputChannels() const { return sourceChannelCount; }
    double outputRate() const { return targetRate; }

private:
    AudioConverter(double inputRate, int inputChannels, double outputRate, SRC_STATE_tag* state);

    double sourceRate;
    int sourceChannelCount;
    double targetRate;
    SRC_STATE_tag* resampler; // null when the rates match
    std::vector<float> monoSamples;
};
