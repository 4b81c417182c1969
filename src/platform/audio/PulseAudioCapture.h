#pragma once

#include "platform/AudioCapture.h"

// Streams on the default source of the session's sound server (PulseAudio,
// or PipeWire through its PulseAudio service). Each stream opens a
// connection of its own when it starts, so a recording after a restart of
// the server finds the new one: nothing is kept from an earlier connection.
class PulseAudioCapture final : public AudioCapture {
public:
    std::shared_ptr<AudioStream> makeStream() override;
};
