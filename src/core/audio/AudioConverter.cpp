#include "core/audio/AudioConverter.h"

#include <samplerate.h>

#include <cmath>

std::unique_ptr<AudioConverter> AudioConverter::make(double inputRate, int inputChannels, double outputRate)
{
    if (!(inputRate > 0) || inputChannels <= 0 || !(outputRate > 0) || !std::isfinite(inputRate)
        || !std::isfinite(outputRate))
        return nullptr;
    const double ratio = outputRate / inputRate;
    if (!src_is_valid_ratio(ratio))
        return nullptr;
    SRC_STATE* state = nullptr;
    if (inputRate != outputRate) {
        int error = 0;
        // Downmixing happens first, so the resampler only sees one channel.
        state = src_new(SRC_SINC_MEDIUM_QUALITY, 1, &error);
        if (!state)
            return nullptr;
    }
    return std::unique_ptr<AudioConverter>(new AudioConverter(inputRate, inputChannels, outputRate, state));
}

AudioConverter::AudioConverter(double inputRate, int inputChannels, double outputRate, SRC_STATE_tag* state)
    : sourceRate(inputRate), sourceChannelCount(inputChannels), targetRate(outputRate), resampler(state)
{
}

AudioConverter::~AudioConverter()
{
    if (resampler)
        src_delete(resampler);
}

bool AudioConverter::convert(const float* frames, int64_t frameCount, std::vector<float>& output, QString* error)
{
    if (frameCount <= 0 || !frames)
        return true;

    const float* mono = frames;
    if (sourceChannelCount > 1) {
        monoSamples.resize(static_cast<size_t>(frameCount));
        for (int64_t i = 0; i < frameCount; ++i) {
            float sum = 0;
            for (int c = 0; c < sourceChannelCount; ++c)
                sum += frames[i * sourceChannelCount + c];
            monoSamples[static_cast<size_t>(i)] = sum / static_cast<float>(sourceChannelCount);
        }
        mono = monoSamples.data();
    }

    if (!resampler) {
        output.insert(output.end(), mono, mono + frameCount);
        return true;
    }

    const double ratio = targetRate / sourceRate;
    SRC_DATA data{};
    data.src_ratio = ratio;
    data.end_of_input = 0;
    int64_t consumed = 0;
    // Room for this buffer's share plus what the filter still held back; the
    // loop covers any further output the resampler wants to give.
    while (consumed < frameCount) {
        const int64_t remaining = frameCount - consumed;
        const long room = static_cast<long>(std::ceil(static_cast<double>(remaining) * ratio)) + 64;
        const size_t start = output.size();
        output.resize(start + static_cast<size_t>(room));
        data.data_in = mono + consumed;
        data.input_frames = static_cast<long>(remaining);
        data.data_out = output.data() + start;
        data.output_frames = room;
        const int result = src_process(resampler, &data);
        output.resize(start + static_cast<size_t>(data.output_frames_gen));
        if (result != 0) {
            if (error)
                *error = QString::fromUtf8(src_strerror(result));
            return false;
        }
        if (data.input_frames_used == 0 && data.output_frames_gen == 0)
            break; // the resampler keeps the rest as filter history
        consumed += data.input_frames_used;
    }
    return true;
}
