// Cost of the speech bridge over a bare whisper_full call, the detector's
// throughput and the model load time, on a model with the "tiny" shapes and
// random weights. Run by hand; prints medians.
#include "core/audio/VoiceActivityDetector.h"
#include "core/config/AppConfig.h"
#include "core/speech/WhisperPassParameters.h"
#include "core/speech/WhisperTranscriptText.h"
#include "core/speech/WhisperWrapper.h"
#include "platform/linux/ProcessorAllowance.h"
#include "support/TestSpeech.h"
#include "support/WhisperTestModel.h"

#include <whisper.h>

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

// The count the tool itself would use here.
const int threads = WhisperPassParameters::threadCount(ProcessorAllowance::current());
constexpr int runs = 7;

double secondsOf(const std::function<void()>& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

void compareBridgeWithDirectCall(const QString& modelPath, const std::vector<float>& audio, const char* label)
{
    const auto bridge = WhisperWrapper::create(modelPath, threads);
    whisper_context* direct =
        whisper_init_from_file_with_params(modelPath.toUtf8().constData(), whisper_context_default_params());
    if (!bridge || !direct) {
        std::printf("%s: model did not load\n", label);
        return;
    }
    // Warm both contexts once (first-pass allocations).
    bridge->transcribe(audio);
    {
        const WhisperPassParameters parameters(modelPath, threads);
        whisper_full(direct, parameters.record(), audio.data(), static_cast<int>(audio.size()));
    }

    std::vector<double> bridgeTimes;
    std::vector<double> directTimes;
    for (int run = 0; run < runs; ++run) {
        bridgeTimes.push_back(secondsOf([&] { bridge->transcribe(audio); }));
        directTimes.push_back(secondsOf([&] {
            // The same record the bridge builds, settings reads included.
            const WhisperPassParameters parameters(modelPath, threads);
            whisper_full(direct, parameters.record(), audio.data(), static_cast<int>(audio.size()));
        }));
    }
    whisper_free(direct);
    const double bridgeMedian = median(bridgeTimes);
    const double directMedian = median(directTimes);
    // The fastest runs are the least disturbed by other load on the machine.
    const double bridgeBest = *std::min_element(bridgeTimes.begin(), bridgeTimes.end());
    const double directBest = *std::min_element(directTimes.begin(), directTimes.end());
    std::printf("%s audio: bridge %.3f s, direct whisper_full %.3f s, ratio %.3f (target <= 1.02); best runs %.3f / "
                "%.3f s, ratio %.3f\n",
        label, bridgeMedian, directMedian, bridgeMedian / directMedian, bridgeBest, directBest,
        bridgeBest / directBest);
}

// What the bridge adds around whisper_full, measured on its own: building
// the parameter record (settings reads included) and assembling the text.
void bridgeOwnWork(const QString& modelPath)
{
    constexpr int iterations = 2000;
    const std::vector<const char*> segments = {
        " The quarterly report is due on Friday,", " please send  your figures", " before noon."};
    std::vector<double> perPass;
    for (int run = 0; run < runs; ++run) {
        const double seconds = secondsOf([&] {
            for (int i = 0; i < iterations; ++i) {
                const WhisperPassParameters parameters(modelPath, threads);
                if (assembleTranscript(segments).isEmpty() || parameters.record().n_threads != threads)
                    std::printf("unexpected\n");
            }
        });
        perPass.push_back(seconds / iterations);
    }
    std::printf("bridge's own work per pass (parameter record + text assembly): %.1f us\n", median(perPass) * 1e6);
}

void detectorThroughput(const std::vector<float>& speech)
{
    // One minute of speech-like audio, analysed frame by frame as capture does.
    const std::vector<float> audio = TestSpeech::fitted(speech, 60.0);
    std::vector<double> multiples;
    for (int run = 0; run < runs; ++run) {
        VoiceActivityDetector detector(16000.0f);
        const int64_t frameSize = detector.frameSize();
        int speechFrames = 0;
        const double seconds = secondsOf([&] {
            for (int64_t start = 0; start + frameSize <= static_cast<int64_t>(audio.size()); start += frameSize)
                speechFrames += detector.processFrame(
                    std::span<const float>(audio.data() + start, static_cast<size_t>(frameSize)), start);
            detector.finalizeRecording(static_cast<int64_t>(audio.size()));
        });
        multiples.push_back(60.0 / seconds);
        if (speechFrames < 0)
            std::printf("unreachable\n");
    }
    std::printf("detector processFrame: %.0fx real time (target >= 5000x)\n", median(multiples));
}

void loadTime(const QString& modelPath)
{
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        std::shared_ptr<WhisperWrapper> bridge;
        times.push_back(secondsOf([&] { bridge = WhisperWrapper::create(modelPath, threads); }));
        if (!bridge) {
            std::printf("model did not load\n");
            return;
        }
    }
    std::printf("tiny-shaped f16 model load: %.3f s\n", median(times));
}

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir home;
    if (!home.isValid())
        return 1;
    // Decoding settings come from a private store: greedy without
    // temperature fallback, so every run decodes the same tokens.
    qputenv("XDG_CONFIG_HOME", home.filePath("config").toUtf8());
    qputenv("XDG_DATA_HOME", home.filePath("data").toUtf8());
    QCoreApplication app(argc, argv);
    AppConfig::setWhisperNoFallback(true);
    whisper_log_set([](ggml_log_level, const char*, void*) {}, nullptr);

    const QString modelPath = home.filePath("ggml-tiny-shaped-f16.bin");
    if (!WhisperTestModel::write(modelPath, WhisperTestModel::Shape::tiny(), WhisperTestModel::WeightType::F16)) {
        std::printf("could not write the model\n");
        return 1;
    }
    const std::vector<float> speech = TestSpeech::spoken(
        QStringLiteral("The quarterly report is due on Friday, please send your figures before noon."));

    std::printf("whisper bridge benchmark: %d threads, medians of %d runs\n", threads, runs);
    loadTime(modelPath);
    detectorThroughput(speech);
    bridgeOwnWork(modelPath);
    compareBridgeWithDirectCall(modelPath, TestSpeech::fitted(speech, 5.0), "5 s");
    compareBridgeWithDirectCall(modelPath, TestSpeech::fitted(speech, 30.0), "30 s");
    return 0;
}
