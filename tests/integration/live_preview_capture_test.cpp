#include "base/Dispatch.h"
#include "platform/MicrophonePermission.h"
#include "platform/audio/PulseAudioCapture.h"
#include "platform/sphinx/PocketSphinxRecognizer.h"
#include "recording/LiveSpeechTranscriber.h"
#include "recording/RecordingManager.h"
#include "support/Patience.h"
#include "support/VirtualMicrophone.h"

#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

bool speak(const QString& folder, const QString& text)
{
    const QString wav = folder + QStringLiteral("/speech.wav");
    return VirtualMicrophone::writeSpeech(wav, text) && VirtualMicrophone::play(wav);
}

class PartialCollector final : public StreamingTranscriberDelegate {
public:
    void transcriberDidReceivePartialResult(LiveSpeechTranscriber&, const QString& text) override
    {
        partials.append(text);
    }
    void transcriberDidReceiveFinalResult(LiveSpeechTranscriber&, const QString&) override { }
    void transcriberDidEncounterError(LiveSpeechTranscriber&, const TranscriberError&) override { ++errors; }
    QStringList partials;
    int errors = 0;
};

} // namespace

// Speech played into the microphone reaches the recognizer through the
// capture thread, and its partial text comes back on the main thread.
TEST(LivePreviewCapture, SpokenWordsGivePartialTextFromTheMicrophone)
{
    QTemporaryDir folder;
    auto recognizer = PocketSphinxRecognizer::forLocale(QLocale(QStringLiteral("en_US")));
    ASSERT_TRUE(recognizer);
    LiveSpeechTranscriber transcriber(recognizer);
    PartialCollector collector;
    transcriber.setDelegate(&collector);

    PulseAudioCapture capture;
    auto stream = capture.makeStream();
    ASSERT_TRUE(stream->format().isValid());
    stream->installTap([&](const AudioBuffer& buffer) {
        transcriber.appendAudioBuffer(
            buffer.frames, qsizetype(buffer.frameCount), int(buffer.sampleRate), buffer.channelCount);
    });
    ASSERT_FALSE(transcriber.startRecognition().has_value());
    QString error;
    ASSERT_TRUE(stream->start(&error)) << error.toStdString();

    ASSERT_TRUE(speak(folder.path(), QStringLiteral("this is a test of the live preview")));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !collector.partials.isEmpty(); }, Patience::transcription));
    transcriber.finishRecognition();
    stream->removeTap();
    stream->stop();
    EXPECT_EQ(collector.errors, 0);
}

// The recording manager's own path records the microphone at 16 kHz.
TEST(LivePreviewCapture, RecordingManagerRecordsTheMicrophoneByItself)
{
    QTemporaryDir folder;
    RecordingManager& manager = RecordingManager::shared();
    manager.setCaptureServices(std::make_shared<PulseAudioCapture>(), std::make_shared<AlwaysAuthorizedMicrophone>());
    std::optional<RecordingManager::CaptureError> startError;
    bool started = false;
    manager.startRecording([&](const std::optional<RecordingManager::CaptureError>& e) {
        started = true;
        startError = e;
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return started; }, 5000));
    ASSERT_FALSE(startError.has_value());

    ASSERT_TRUE(speak(folder.path(), QStringLiteral("one two three")));
    QTest::qWait(300);
    QString text;
    manager.stopRecording([&](const QString& t, const std::optional<RecordingManager::CaptureError>&) { text = t; });
    const size_t samples = manager.capturedAudio().size();
    // At least the second or so of speech that was played.
    EXPECT_GT(samples, 16000u);
    EXPECT_EQ(text, QStringLiteral("Transcribed audio: %1 samples recorded").arg(samples));
    manager.setCaptureServices(nullptr, nullptr);
}
