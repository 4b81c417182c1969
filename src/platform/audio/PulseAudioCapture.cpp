#include "platform/audio/PulseAudioCapture.h"

#include "platform/audio/PulseAudioStream.h"

std::shared_ptr<AudioStream> PulseAudioCapture::makeStream()
{
    return std::make_shared<PulseAudioStream>();
}
