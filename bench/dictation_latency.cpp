// Key release to paste chord for one dictation, on fake desktop services and
// a whisper model of the published "tiny" shape (random weights) transcribing
// on as many threads as the dictation path would use. Run by hand:
//   bench_dictation_latency [runs] [allowed|machine]
// "allowed" (the default) counts the processors this process may run on, as
// the tool does; "machine" counts every processor of the machine, the old
// rule, for an A/B under `taskset -c 0,1`.
//
// Phases, from the log lines the controller writes on its way:
//   tail+stop+finalize  release -> "[VAD] Speech" (0.3 s of it is the tail wait)
//   trim                "[VAD] Speech" -> "About to transcribe"
//   dispatch            -> "Calling whisperWrapper.transcribe"
//   transcription       -> "Transcription successful"
//   paste               -> the paste chord (clean-up, clipboard, ready delay)
#include "base/Dispatch.h"
#include "base/Log.h"
#include "controller/AppDelegate.h"
#include "core/audio/VoiceActivityDetector.h"
#include "core/config/AppConfig.h"
#include "core/speech/ModelManager.h"
#include "core/speech/WhisperPassParameters.h"
#include "core/speech/WhisperWrapper.h"
#include "core/state/RecordingState.h"
#include "platform/MicrophonePermission.h"
#include "platform/audio/PulseAudioCapture.h"
#include "platform/linux/ProcessorAllowance.h"
#include "support/FakeAccessibilityTrust.h"
#include "support/FakeAlertPresenter.h"
#include "support/FakeAudioCapture.h"
#include "support/FakeHotkeyTap.h"
#include "support/FakeKeySynthesizer.h"
#include "support/FakePasteboard.h"
#include "support/FakeSpeechRecognizer.h"
#include "support/FakeWorkspace.h"
#include "support/TestSpeech.h"
#include "support/WhisperTestModel.h"

#include "ResidentMemory.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <mutex>

#include <unistd.h>

using Clock = std::chrono::steady_clock;

// Gives the benchmark the bridge it built itself, with the thread rule it
// was asked for, instead of the one the loader would make.
class ModelLoadingTestAccess {
public:
    static void setBridge(AppDelegate& controller, std::shared_ptr<WhisperWrapper> bridge)
    {
        std::lock_guard lock(controller.modelMutex);
        controller.whisperWrapper = std::move(bridge);
    }
};

namespace {

double ms(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

struct Marks {
    std::mutex mutex;
    std::map<QString, Clock::time_point> at;
    void mark(const QString& name)
    {
        std::lock_guard lock(mutex);
        at.emplace(name, Clock::now());
    }
    Clock::time_point get(const QString& name)
    {
        std::lock_guard lock(mutex);
        return at.count(name) ? at[name] : Clock::time_point{};
    }
};

struct Run {
    double tailStopFinalize, trim, dispatch, transcription, paste, total;
};

Run dictate(
    AppDelegate& controller, FakeAudioCapture& capture, FakeKeySynthesizer& keys, const std::vector<float>& utterance)
{
    Marks marks;
    const int sink = Log::addSink([&](Log::Stream, const QString& line) {
        for (const char* prefix : {"[VAD] Speech: ", "[AppDelegate] About to transcribe ",
                 "[AppDelegate] Calling whisperWrapper.transcribe", "[AppDelegate] Transcription successful: "}) {
            if (line.startsWith(QLatin1String(prefix)))
                marks.mark(QString::fromLatin1(prefix));
        }
    });
    std::atomic<bool> chord{false};
    keys.setOnChord([&] {
        marks.mark("chord");
        chord = true;
    });

    controller.recordingStateManager().startRecording(RecordingMode::pushToTalk);
    controller.startRecording();
    auto stream = capture.lastStream();
    for (size_t at = 0; at < utterance.size(); at += 1024)
        stream->deliver(std::vector<float>(utterance.begin() + static_cast<std::ptrdiff_t>(at),
            utterance.begin() + static_cast<std::ptrdiff_t>(std::min(utterance.size(), at + 1024))));

    const auto released = Clock::now();
    controller.stopRecordingAndTranscribe();
    QElapsedTimer limit;
    limit.start();
    // Generous: a confined run with too many threads takes minutes.
    while (!chord && limit.elapsed() < 900000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    Dispatch::drainMainQueue(3000, true);
    Log::removeSink(sink);
    keys.setOnChord(nullptr);

    const auto vad = marks.get("[VAD] Speech: ");
    const auto about = marks.get("[AppDelegate] About to transcribe ");
    const auto calling = marks.get("[AppDelegate] Calling whisperWrapper.transcribe");
    const auto done = marks.get("[AppDelegate] Transcription successful: ");
    const auto pasted = marks.get("chord");
    if (pasted == Clock::time_point{})
        std::printf("  (no paste: the transcription gave no text)\n");
    return {ms(released, vad), ms(vad, about), ms(about, calling), ms(calling, done), ms(done, pasted),
        ms(released, pasted)};
}

double engineStopMs()
{
    PulseAudioCapture capture;
    auto stream = capture.makeStream();
    if (!stream->format().isValid())
        return -1;
    stream->installTap([](const AudioBuffer&) {});
    QString error;
    if (!stream->start(&error))
        return -1;
    Dispatch::sleepFor(0.3);
    const auto before = Clock::now();
    stream->removeTap();
    stream->stop();
    return ms(before, Clock::now());
}

double finalizeMs(const std::vector<float>& utterance)
{
    VoiceActivityDetector detector(16000.0f);
    for (size_t at = 0; at + 320 <= utterance.size(); at += 320)
        detector.processFrame(std::span<const float>(utterance.data() + at, 320), static_cast<int64_t>(at));
    const auto before = Clock::now();
    detector.finalizeRecording(static_cast<int64_t>(utterance.size()));
    return ms(before, Clock::now());
}

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + "/data").toUtf8());
    qputenv("GGML_NO_BACKTRACE", "1");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    WhisperPassParameters::setProcessorAllowance(&ProcessorAllowance::current);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 3;
    const bool machineRule = argc > 2 && QByteArray(argv[2]) == "machine";
    const int processors = machineRule ? static_cast<int>(std::max(1L, sysconf(_SC_NPROCESSORS_CONF)))
                                       : WhisperPassParameters::configuredProcessorCount();
    std::printf("thread rule: %s, %d processors -> %d whisper threads\n",
        machineRule ? "every processor of the machine" : "processors this process may run on", processors,
        WhisperPassParameters::threadCount(processors));

    const QString modelPath = home.filePath("ggml-tiny-shaped.bin");
    if (!WhisperTestModel::write(modelPath, WhisperTestModel::Shape::tiny(), WhisperTestModel::WeightType::F16)) {
        std::fprintf(stderr, "could not write the model\n");
        return 1;
    }

    auto capture = std::make_shared<FakeAudioCapture>();
    auto keys = std::make_shared<FakeKeySynthesizer>();
    PlatformServices services;
    services.hotkeyTap = std::make_shared<FakeHotkeyTap>();
    services.accessibilityTrust = std::make_shared<FakeAccessibilityTrust>();
    services.keySynthesizer = keys;
    services.pasteboard = std::make_shared<FakePasteboard>();
    services.audioCapture = capture;
    services.microphonePermission = std::make_shared<AlwaysAuthorizedMicrophone>();
    services.alertPresenter = std::make_shared<FakeAlertPresenter>();
    services.speechRecognizer = std::make_shared<FakeSpeechRecognizer>();
    services.workspace = std::make_shared<FakeWorkspace>();

    const long idleKiB = residentKiB();
    AppDelegate controller(services);
    const auto loadStart = Clock::now();
    ModelLoadingTestAccess::setBridge(controller, WhisperWrapper::create(modelPath, processors));
    const double loadMs = ms(loadStart, Clock::now());
    const long loadedKiB = residentKiB();

    const double stopMs = engineStopMs();
    std::printf("model load (tiny shape, f16): %.0f ms; resident memory %ld MiB before, %ld MiB after\n", loadMs,
        idleKiB / 1024, loadedKiB / 1024);
    if (stopMs >= 0)
        std::printf("real capture stream stop (sound server present): %.2f ms\n", stopMs);
    else
        std::printf("real capture stream stop: no sound server, not measured\n");

    const std::vector<float> speech = TestSpeech::spoken("please write this sentence into the field and then stop");
    for (const double seconds : {3.0, 10.0}) {
        const std::vector<float> utterance = TestSpeech::fitted(speech, seconds);
        std::printf(
            "\n%.0f s utterance, %d runs (ms): tail+stop+finalize / trim / dispatch / transcription / paste = total\n",
            seconds, runs);
        std::printf("  detector finalize alone: %.3f ms\n", finalizeMs(utterance));
        for (int i = 0; i < runs; ++i) {
            const Run run = dictate(controller, *capture, *keys, utterance);
            std::printf("  %7.1f / %6.2f / %6.2f / %8.1f / %6.1f = %8.1f\n", run.tailStopFinalize, run.trim,
                run.dispatch, run.transcription, run.paste, run.total);
        }
    }
    std::printf("\nresident memory after the runs: %ld MiB\n", residentKiB() / 1024);
    return 0;
}
