#pragma once

#include "platform/AudioCapture.h"

// Streams on the default input of the sound server through Qt Multimedia.
class QtAudioCapture final : public AudioCapture {
public:
    std::shared_ptr<AudioStream> makeStream() override;
};
