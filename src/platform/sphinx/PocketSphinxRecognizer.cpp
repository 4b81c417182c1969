#include "platform/sphinx/PocketSphinxRecognizer.h"

#include "base/Dispatch.h"

#include <QDir>
#include <QFileInfo>

#include <pocketsphinx.h>
#include <samplerate.h>
#include <sphinxbase/err.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <mutex>
#include <vector>

namespace {

constexpr int decoderSampleRate = 16000;
// Partial hypotheses cost a search back-trace; one every 100 ms of audio is
// plenty for a preview.
constexpr size_t samplesPerHypothesis = decoderSampleRate / 10;

// What the worker knows about one recognition. The flags are read on the
// capture thread; everything else belongs to the worker.
struct TaskState {
    explicit TaskState(SpeechRecognizer::ResultHandler h) : handler(std::move(h)) { }
    ~TaskState()
    {
        if (resampler)
            src_delete(resampler);
    }
    TaskState(const TaskState&) = delete;
    TaskState& operator=(const TaskState&) = delete;

    bool isClosed() const { return cancelled || failed || audioEnded; }

    SpeechRecognizer::ResultHandler handler;
    std::atomic<bool> cancelled{false};
    std::atomic<bool> audioEnded{false};
    std::atomic<bool> failed{false};

    QString lastHypothesis;
    size_t samplesSinceHypothesis = 0;
    SRC_STATE* resampler = nullptr;
    int resamplerRate = 0;
};

bool isFile(const QString& path)
{
    return QFileInfo(path).isFile();
}

} // namespace

class PocketSphinxRecognizer::Engine {
public:
    explicit Engine(Model model) : modelFiles(std::move(model))
    {
        const bool searchPresent =
            modelFiles.grammarFile.isEmpty() ? isFile(modelFiles.languageModelFile) : isFile(modelFiles.grammarFile);
        // pocketsphinx ends the process on some missing files, so they are
        // checked here rather than left to the decoder.
        filesPresent = QFileInfo(modelFiles.acousticModelDir).isDir()
            && isFile(modelFiles.acousticModelDir + QStringLiteral("/mdef")) && isFile(modelFiles.dictionaryFile)
            && searchPresent;
    }

    ~Engine()
    {
        queue.sync([this] {
            endUtterance();
            if (decoder)
                ps_free(decoder);
            if (decoderConfig)
                cmd_ln_free_r(decoderConfig);
        });
    }

    bool isAvailable() const { return filesPresent && !loadFailed; }
    bool isWorkerThread() const { return queue.isCurrent(); }

    void setAvailabilityHandler(std::function<void(bool)> handler)
    {
        std::lock_guard lock(mutex);
        availabilityHandler = std::move(handler);
    }

    // Claims the one recognition slot; false when another recognition holds it.
    bool claim(const std::shared_ptr<TaskState>& state)
    {
        std::lock_guard lock(mutex);
        if (auto current = activeState.lock(); current && !current->isClosed())
            return false;
        activeState = state;
        return true;
    }

    void release(const std::shared_ptr<TaskState>& state)
    {
        std::lock_guard lock(mutex);
        if (activeState.lock() == state)
            activeState.reset();
    }

    void post(Dispatch::Work work) { queue.async(std::move(work)); }

    // --- worker thread only below ---

    void process(const std::shared_ptr<TaskState>& state, const std::vector<float>& samples, int rate, int channels)
    {
        if (state->cancelled || state->failed)
            return;
        if (!prepare(state))
            return;
        const std::vector<int16_t> pcm = toDecoderFormat(*state, samples, rate, channels, false);
        feed(state, pcm);
    }

    void finish(const std::shared_ptr<TaskState>& state)
    {
        if (state->cancelled || state->failed)
            return;
        if (!prepare(state))
            return;
        if (state->resampler && state->resamplerRate > 0) {
            const std::vector<int16_t> tail = toDecoderFormat(*state, {}, state->resamplerRate, 1, true);
            if (!feed(state, tail))
                return;
        }
        ps_end_utt(decoder);
        utteranceOwner.reset();
        const QString text = hypothesis();
        if (!state->cancelled)
            state->handler(Result{text, true}, std::nullopt);
    }

    void abandon(const std::shared_ptr<TaskState>& state)
    {
        if (utteranceOwner == state)
            endUtterance();
    }

    void reportBusy(const std::shared_ptr<TaskState>& state)
    {
        fail(state, ErrorCode::busy, QStringLiteral("Another recognition is running"));
    }

private:
    bool prepare(const std::shared_ptr<TaskState>& state)
    {
        if (!ensureDecoder()) {
            fail(state, ErrorCode::modelsUnavailable, QStringLiteral("The speech model could not be loaded"));
            return false;
        }
        if (utteranceOwner == state)
            return true;
        endUtterance();
        if (ps_start_utt(decoder) < 0) {
            fail(state, ErrorCode::decodingFailed, QStringLiteral("The decoder could not start"));
            return false;
        }
        utteranceOwner = state;
        return true;
    }

    bool feed(const std::shared_ptr<TaskState>& state, const std::vector<int16_t>& pcm)
    {
        if (pcm.empty())
            return true;
        if (ps_process_raw(decoder, pcm.data(), pcm.size(), FALSE, FALSE) < 0) {
            fail(state, ErrorCode::decodingFailed, QStringLiteral("The decoder rejected the audio"));
            return false;
        }
        state->samplesSinceHypothesis += pcm.size();
        if (state->samplesSinceHypothesis < samplesPerHypothesis)
            return true;
        state->samplesSinceHypothesis = 0;
        const QString text = hypothesis();
        if (text != state->lastHypothesis) {
            state->lastHypothesis = text;
            if (!state->cancelled)
                state->handler(Result{text, false}, std::nullopt);
        }
        return true;
    }

    QString hypothesis()
    {
        const char* hyp = ps_get_hyp(decoder, nullptr);
        return hyp ? QString::fromUtf8(hyp).trimmed() : QString();
    }

    void fail(const std::shared_ptr<TaskState>& state, ErrorCode code, const QString& message)
    {
        state->failed = true;
        release(state);
        abandon(state);
        if (!state->cancelled)
            state->handler(std::nullopt, Error{code, message});
    }

    void endUtterance()
    {
        if (utteranceOwner && decoder)
            ps_end_utt(decoder);
        utteranceOwner.reset();
    }

    bool ensureDecoder()
    {
        if (decoder)
            return true;
        if (loadFailed)
            return false;
        if (filesPresent) {
            err_set_logfp(nullptr);
            const QByteArray hmm = QFile::encodeName(modelFiles.acousticModelDir);
            const QByteArray dict = QFile::encodeName(modelFiles.dictionaryFile);
            const bool grammar = !modelFiles.grammarFile.isEmpty();
            const QByteArray search =
                QFile::encodeName(grammar ? modelFiles.grammarFile : modelFiles.languageModelFile);
            decoderConfig = cmd_ln_init(nullptr, ps_args(), TRUE, "-hmm", hmm.constData(), "-dict", dict.constData(),
                grammar ? "-jsgf" : "-lm", search.constData(), nullptr);
            if (decoderConfig)
                decoder = ps_init(decoderConfig);
        }
        if (decoder)
            return true;
        loadFailed = true;
        std::function<void(bool)> handler;
        {
            std::lock_guard lock(mutex);
            handler = availabilityHandler;
        }
        if (handler)
            handler(false);
        return false;
    }

    // Down-mixes to mono, resamples to 16 kHz with the task's own stateful
    // resampler and converts to 16-bit samples.
    static std::vector<int16_t> toDecoderFormat(
        TaskState& state, const std::vector<float>& samples, int rate, int channels, bool endOfInput)
    {
        channels = std::max(1, channels);
        const size_t frames = samples.size() / static_cast<size_t>(channels);
        std::vector<float> mono(frames);
        for (size_t f = 0; f < frames; ++f) {
            float sum = 0.0f;
            for (int c = 0; c < channels; ++c)
                sum += samples[f * static_cast<size_t>(channels) + static_cast<size_t>(c)];
            mono[f] = sum / static_cast<float>(channels);
        }

        std::vector<float> resampled;
        if (rate == decoderSampleRate && !state.resampler) {
            resampled = std::move(mono);
        } else if (rate > 0) {
            if (!state.resampler || state.resamplerRate != rate) {
                if (state.resampler)
                    src_delete(state.resampler);
                int error = 0;
                state.resampler = src_new(SRC_SINC_FASTEST, 1, &error);
                state.resamplerRate = state.resampler ? rate : 0;
            }
            if (!state.resampler)
                return {};
            const double ratio = double(decoderSampleRate) / double(rate);
            resampled.resize(static_cast<size_t>(std::ceil(double(frames) * ratio)) + 256);
            SRC_DATA data{};
            data.data_in = mono.data();
            data.input_frames = static_cast<long>(frames);
            data.data_out = resampled.data();
            data.output_frames = static_cast<long>(resampled.size());
            data.src_ratio = ratio;
            data.end_of_input = endOfInput ? 1 : 0;
            if (src_process(state.resampler, &data) != 0)
                return {};
            resampled.resize(static_cast<size_t>(data.output_frames_gen));
        }

        std::vector<int16_t> pcm(resampled.size());
        std::transform(resampled.begin(), resampled.end(), pcm.begin(),
            [](float s) { return static_cast<int16_t>(std::lround(std::clamp(s, -1.0f, 1.0f) * 32767.0f)); });
        return pcm;
    }

    const Model modelFiles;
    bool filesPresent = false;
    std::atomic<bool> loadFailed{false};

    std::mutex mutex;
    std::weak_ptr<TaskState> activeState;
    std::function<void(bool)> availabilityHandler;

    // Worker only.
    cmd_ln_t* decoderConfig = nullptr;
    ps_decoder_t* decoder = nullptr;
    std::shared_ptr<TaskState> utteranceOwner;

    // Last, so it is created after and stopped before the fields it uses.
    Dispatch::SerialQueue queue{QStringLiteral("tallowind.speech-recognizer")};
};

namespace {

class PocketSphinxTask final : public SpeechRecognizer::Task {
public:
    PocketSphinxTask(std::shared_ptr<PocketSphinxRecognizer::Engine> engine, std::shared_ptr<TaskState> state)
        : sharedEngine(std::move(engine)), recognitionState(std::move(state))
    {
    }
    ~PocketSphinxTask() override { cancel(); }

    void append(const float* samples, qsizetype frames, int sampleRate, int channels) override
    {
        if (recognitionState->isClosed() || !samples || frames <= 0 || channels <= 0)
            return;
        std::vector<float> copy(samples, samples + frames * channels);
        // The work item holds the engine raw: the engine's destructor drains
        // its queue before anything it uses goes away.
        sharedEngine->post([engine = sharedEngine.get(), state = recognitionState, copy = std::move(copy), sampleRate,
                               channels] { engine->process(state, copy, sampleRate, channels); });
    }

    void endAudio() override
    {
        if (recognitionState->cancelled || recognitionState->failed || recognitionState->audioEnded.exchange(true))
            return;
        sharedEngine->release(recognitionState);
        sharedEngine->post([engine = sharedEngine.get(), state = recognitionState] { engine->finish(state); });
    }

    void cancel() override
    {
        if (recognitionState->cancelled.exchange(true))
            return;
        sharedEngine->release(recognitionState);
        sharedEngine->post([engine = sharedEngine.get(), state = recognitionState] { engine->abandon(state); });
    }

private:
    std::shared_ptr<PocketSphinxRecognizer::Engine> sharedEngine;
    std::shared_ptr<TaskState> recognitionState;
};

} // namespace

QString PocketSphinxRecognizer::defaultModelRoot()
{
    return QFileInfo(QStringLiteral(TALLOWIND_POCKETSPHINX_MODEL_DIR)).absolutePath();
}

PocketSphinxRecognizer::Model PocketSphinxRecognizer::modelInFolder(const QString& folder)
{
    const QString name = QFileInfo(folder).fileName();
    Model model;
    model.acousticModelDir = folder + QLatin1Char('/') + name;
    model.dictionaryFile = folder + QStringLiteral("/cmudict-") + name + QStringLiteral(".dict");
    model.languageModelFile = folder + QLatin1Char('/') + name + QStringLiteral(".lm.bin");
    return model;
}

std::shared_ptr<PocketSphinxRecognizer> PocketSphinxRecognizer::forLocale(
    const QLocale& locale, const QString& modelRoot)
{
    const QString localeFolder = locale.name().toLower().replace(QLatin1Char('_'), QLatin1Char('-'));
    for (const QString& name : {localeFolder, QStringLiteral("en-us")}) {
        const QString folder = QDir(modelRoot).filePath(name);
        if (QFileInfo(folder).isDir()) {
            auto recognizer = std::make_shared<PocketSphinxRecognizer>(modelInFolder(folder));
            if (recognizer->isAvailable())
                return recognizer;
        }
    }
    return nullptr;
}

PocketSphinxRecognizer::PocketSphinxRecognizer(Model model)
    : sharedEngine(new Engine(std::move(model)), [](Engine* engine) {
          // A result handler may drop the last owner on the worker itself,
          // which cannot join its own thread.
          if (engine->isWorkerThread())
              Dispatch::global(Dispatch::QoS::Utility).async([engine] { delete engine; });
          else
              delete engine;
      })
{
}

PocketSphinxRecognizer::~PocketSphinxRecognizer()
{
    // Tasks may outlive us and keep the engine; it must stop calling back.
    sharedEngine->setAvailabilityHandler({});
}

SpeechRecognizer::AuthorizationStatus PocketSphinxRecognizer::authorizationStatus() const
{
    // Recognition never leaves the machine; the desktop has no permission
    // for it.
    return AuthorizationStatus::authorized;
}

void PocketSphinxRecognizer::requestAuthorization(std::function<void(AuthorizationStatus)> completion)
{
    if (completion)
        completion(AuthorizationStatus::authorized);
}

bool PocketSphinxRecognizer::isAvailable() const
{
    return sharedEngine->isAvailable();
}

void PocketSphinxRecognizer::setAvailabilityHandler(std::function<void(bool)> handler)
{
    sharedEngine->setAvailabilityHandler(std::move(handler));
}

std::shared_ptr<SpeechRecognizer::Task> PocketSphinxRecognizer::startTask(ResultHandler handler)
{
    if (!handler)
        return nullptr;
    auto state = std::make_shared<TaskState>(std::move(handler));
    auto task = std::make_shared<PocketSphinxTask>(sharedEngine, state);
    if (!sharedEngine->claim(state))
        sharedEngine->post([engine = sharedEngine.get(), state] { engine->reportBusy(state); });
    return task;
}
