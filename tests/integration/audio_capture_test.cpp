#include "platform/audio/PulseAudioCapture.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <mutex>
#include <vector>

namespace {

struct Collected {
    std::mutex mutex;
    std::vector<float> mono;
    double rate = 0;
    int channels = 0;
    bool onMainThread = false;
    std::atomic<int> calls{0};
};

bool playTone(const QString& folder, double seconds)
{
    const QString wav = folder + "/tone.wav";
    if (QProcess::execute("sox",
            {"-n", "-r", "48000", "-c", "1", wav, "synth", QString::number(seconds), "sine", "440", "vol", "0.5"})
        != 0)
        return false;
    return QProcess::execute("paplay", {wav}) == 0;
}

} // namespace

// The private sound server's default source hears what is played into its
// default sink.
TEST(PulseAudioCapture, DeliversWhatIsPlayedIntoTheMicrophoneOnTheCaptureThread)
{
    QTemporaryDir folder;
    PulseAudioCapture capture;
    auto stream = capture.makeStream();
    ASSERT_TRUE(stream->format().isValid());

    Collected collected;
    QThread* mainThread = QThread::currentThread();
    stream->installTap([&](const AudioBuffer& buffer) {
        std::lock_guard lock(collected.mutex);
        collected.rate = buffer.sampleRate;
        collected.channels = buffer.channelCount;
        collected.onMainThread = collected.onMainThread || QThread::currentThread() == mainThread;
        for (int64_t i = 0; i < buffer.frameCount; ++i)
            collected.mono.push_back(buffer.frames[i * buffer.channelCount]);
        ++collected.calls;
    });
    QString error;
    ASSERT_TRUE(stream->start(&error)) << error.toStdString();
    EXPECT_TRUE(stream->isRunning());

    ASSERT_TRUE(playTone(folder.path(), 1.0));
    QTest::qWait(300);
    stream->removeTap();
    const int callsAtRemoval = collected.calls;
    stream->stop();
    EXPECT_FALSE(stream->isRunning());
    QTest::qWait(200);
    EXPECT_EQ(collected.calls, callsAtRemoval);

    std::lock_guard lock(collected.mutex);
    EXPECT_FALSE(collected.onMainThread);
    EXPECT_EQ(collected.rate, stream->format().sampleRate);
    EXPECT_EQ(collected.channels, stream->format().channelCount);
    ASSERT_GT(collected.mono.size(), static_cast<size_t>(collected.rate * 0.9));
    float peak = 0;
    for (float sample : collected.mono)
        peak = std::max(peak, std::abs(sample));
    EXPECT_GT(peak, 0.1f);
    EXPECT_LT(peak, 0.7f);
}

// Each recording gets a stream of its own; a second one works after the first.
TEST(PulseAudioCapture, AFreshStreamWorksAfterAnEarlierOneIsReleased)
{
    PulseAudioCapture capture;
    for (int round = 0; round < 2; ++round) {
        auto stream = capture.makeStream();
        std::atomic<int> calls{0};
        stream->installTap([&](const AudioBuffer&) { ++calls; });
        QString error;
        ASSERT_TRUE(stream->start(&error)) << error.toStdString();
        QTRY_VERIFY_WITH_TIMEOUT(calls > 0, 3000);
        stream->removeTap();
        stream->stop();
    }
}
