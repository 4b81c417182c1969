#include "platform/audio/PulseAudioStream.h"

#include <QLocalServer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// A server that is not there fails the start with its reason, not the stream.
TEST(PulseAudioStream, AnAbsentServerFailsTheStartWithItsReason)
{
    QTemporaryDir folder;
    PulseAudioStream stream{("unix:" + folder.filePath("no-server")).toUtf8()};
    EXPECT_TRUE(stream.format().isValid());

    // Nothing tapped: the stream runs and delivers nothing.
    QString error;
    EXPECT_TRUE(stream.start(&error));
    EXPECT_TRUE(stream.isRunning());
    stream.stop();
    EXPECT_FALSE(stream.isRunning());

    stream.installTap([](const AudioBuffer&) {});
    EXPECT_FALSE(stream.start(&error));
    EXPECT_TRUE(error.startsWith("The sound server could not be reached (")) << error.toStdString();
    EXPECT_FALSE(stream.isRunning());
}

// A server that takes the connection and never answers (here a socket
// nobody reads) fails the start in bounded time instead of holding it.
TEST(PulseAudioStream, AServerThatNeverAnswersFailsTheStart)
{
    QTemporaryDir folder;
    QLocalServer silent;
    ASSERT_TRUE(silent.listen(folder.filePath("silent")));
    PulseAudioStream stream{("unix:" + folder.filePath("silent")).toUtf8()};
    stream.installTap([](const AudioBuffer&) {});
    QString error;
    EXPECT_FALSE(stream.start(&error));
    EXPECT_EQ(error, "The sound server did not answer.");
    EXPECT_FALSE(stream.isRunning());
}
