#include "platform/audio/QtAudioCapture.h"

#include "platform/audio/QtAudioStream.h"

#include <QMediaDevices>

std::shared_ptr<AudioStream> QtAudioCapture::makeStream()
{
    // Qt reports no default input when no sound server answers.
    return std::make_shared<QtAudioStream>(QMediaDevices::defaultAudioInput());
}
