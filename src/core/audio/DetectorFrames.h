#pragma once

#include <cstdint>
#include <span>
#include <vector>

// Cuts a running stream of samples into the detector's fixed-size frames.
// `pending` holds the samples that do not yet fill a frame (always fewer than
// one frame between calls) and `processed` the index of the next frame's
// first sample; both belong to the caller so they can live with the rest of
// the recording state.
namespace DetectorFrames {

inline constexpr int64_t frameSize = 320;

// Appends `samples` and hands every completed frame to
// `feed(std::span<const float> frame, int64_t firstSampleIndex)`.
template <typename Feed>
void append(std::vector<float>& pending, int64_t& processed, std::span<const float> samples, Feed&& feed)
{
    if (samples.empty())
        return;
    pending.insert(pending.end(), samples.begin(), samples.end());
    size_t consumed = 0;
    while (pending.size() - consumed >= static_cast<size_t>(frameSize)) {
        feed(std::span<const float>(pending.data() + consumed, static_cast<size_t>(frameSize)), processed);
        consumed += static_cast<size_t>(frameSize);
        processed += frameSize;
    }
    pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(consumed));
}

// At the end of a recording: pads what is left with silence to a full frame
// and hands it over. Nothing happens when nothing is left.
template <typename Feed> void flush(std::vector<float>& pending, int64_t processed, Feed&& feed)
{
    if (pending.empty())
        return;
    pending.resize(static_cast<size_t>(frameSize), 0.0f);
    feed(std::span<const float>(pending.data(), pending.size()), processed);
}

} // namespace DetectorFrames
