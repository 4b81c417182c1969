#include "platform/audio/QtAudioStream.h"

#include <gtest/gtest.h>

// Without a sound server Qt reports a null default input device.
TEST(QtAudioStream, NullDeviceIsASetUpFailureNotACrash)
{
    QtAudioStream stream{QAudioDevice()};
    EXPECT_FALSE(stream.format().isValid());

    // Nothing tapped: the stream runs and delivers nothing.
    QString error;
    EXPECT_TRUE(stream.start(&error));
    EXPECT_TRUE(stream.isRunning());
    stream.stop();
    EXPECT_FALSE(stream.isRunning());

    stream.installTap([](const AudioBuffer&) {});
    EXPECT_FALSE(stream.start(&error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(stream.isRunning());
}
