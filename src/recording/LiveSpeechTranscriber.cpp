#include "recording/LiveSpeechTranscriber.h"

#include "base/Dispatch.h"
#include "base/Log.h"

#include <QObject>

#include <mutex>

using RecognitionState = LiveSpeechTranscriber::RecognitionState;

// Shared with the recognizer's callbacks, which hold it weakly. The mutex
// guards the state, the task and the tags against the main thread, the
// capture thread and the recognizer's worker.
struct LiveSpeechTranscriber::Core : std::enable_shared_from_this<Core> {
    explicit Core(std::shared_ptr<SpeechRecognizer> r) : recognizer(std::move(r)) { }

    const std::shared_ptr<SpeechRecognizer> recognizer;

    // Main thread only.
    LiveSpeechTranscriber* owner = nullptr;
    StreamingTranscriberDelegate* delegate = nullptr;
    QPointer<QObject> delegateObject;
    bool delegateIsObject = false;

    mutable std::mutex mutex;
    RecognitionState state = RecognitionState::idle;
    std::shared_ptr<SpeechRecognizer::Task> task;
    // Tag of the recognition that owns `task`; 0 once it has ended.
    quint64 liveTag = 0;
    // Moves on at every start and every ending by the caller, so reports
    // of any earlier recognition are recognisably old.
    quint64 generation = 0;

    StreamingTranscriberDelegate* currentDelegate() const
    {
        if (!owner || !delegate)
            return nullptr;
        if (delegateIsObject && !delegateObject)
            return nullptr;
        return delegate;
    }

    bool isLive(quint64 tag) const
    {
        std::lock_guard lock(mutex);
        return liveTag == tag;
    }

    bool isCurrentGeneration(quint64 tag) const
    {
        std::lock_guard lock(mutex);
        return generation == tag;
    }

    // Ends the recognition: the state goes idle and the task is given back
    // for the caller to end outside the lock.
    std::shared_ptr<SpeechRecognizer::Task> endLocked(bool byCaller)
    {
        state = RecognitionState::idle;
        liveTag = 0;
        if (byCaller)
            ++generation;
        return std::move(task);
    }

    // Returns the generation that follows the stopped recognition, 0 when
    // nothing was running.
    quint64 stop()
    {
        std::shared_ptr<SpeechRecognizer::Task> ended;
        quint64 after = 0;
        {
            std::lock_guard lock(mutex);
            if (state == RecognitionState::idle)
                return 0;
            ended = endLocked(true);
            after = generation;
        }
        if (ended) {
            ended->endAudio();
            ended->cancel();
        }
        return after;
    }

    void reportError(quint64 tag, const TranscriberError& error)
    {
        Dispatch::main().async([weak = weak_from_this(), tag, error] {
            auto core = weak.lock();
            if (!core || !core->isCurrentGeneration(tag))
                return;
            if (auto* d = core->currentDelegate())
                d->transcriberDidEncounterError(*core->owner, error);
        });
    }

    void deliverResult(quint64 tag, const SpeechRecognizer::Result& result)
    {
        Dispatch::main().async([weak = weak_from_this(), tag, result] {
            auto core = weak.lock();
            if (!core || !core->isLive(tag))
                return;
            if (!result.isFinal) {
                if (auto* d = core->currentDelegate())
                    d->transcriberDidReceivePartialResult(*core->owner, result.text);
                return;
            }
            std::shared_ptr<SpeechRecognizer::Task> ended;
            {
                std::lock_guard lock(core->mutex);
                ended = core->endLocked(false);
            }
            if (auto* d = core->currentDelegate())
                d->transcriberDidReceiveFinalResult(*core->owner, result.text);
            if (ended)
                ended->cancel();
        });
    }

    // Runs on the recognizer's worker.
    void handle(quint64 tag, const std::optional<SpeechRecognizer::Result>& result,
        const std::optional<SpeechRecognizer::Error>& error)
    {
        if (error) {
            std::shared_ptr<SpeechRecognizer::Task> ended;
            {
                std::lock_guard lock(mutex);
                if (liveTag != tag)
                    return;
                ended = endLocked(false);
            }
            if (ended)
                ended->cancel();
            // Endings of the recognizer's own making are not worth a report.
            const auto code = error->code;
            if (code != SpeechRecognizer::ErrorCode::recognitionStopped
                && code != SpeechRecognizer::ErrorCode::audioSessionEnded)
                reportError(tag, *error);
            return;
        }
        if (result && isLive(tag))
            deliverResult(tag, *result);
    }

    void availabilityChanged(bool available)
    {
        if (available)
            return;
        // Reported under the generation the stop leaves behind, so a start
        // made before the report arrives silences it.
        if (const quint64 after = stop())
            reportError(after, SpeechRecognitionError::recognizerUnavailable);
    }
};

LiveSpeechTranscriber::LiveSpeechTranscriber(std::shared_ptr<SpeechRecognizer> recognizer)
    : sharedCore(std::make_shared<Core>(std::move(recognizer)))
{
    sharedCore->owner = this;
    if (sharedCore->recognizer) {
        sharedCore->recognizer->setAvailabilityHandler([weak = std::weak_ptr<Core>(sharedCore)](bool available) {
            if (auto core = weak.lock())
                core->availabilityChanged(available);
        });
    }
}

LiveSpeechTranscriber::~LiveSpeechTranscriber()
{
    stopRecognition();
    sharedCore->owner = nullptr;
    if (sharedCore->recognizer)
        sharedCore->recognizer->setAvailabilityHandler({});
}

void LiveSpeechTranscriber::setDelegate(StreamingTranscriberDelegate* delegate)
{
    sharedCore->delegate = delegate;
    QObject* object = dynamic_cast<QObject*>(delegate);
    sharedCore->delegateObject = object;
    sharedCore->delegateIsObject = object != nullptr;
}

StreamingTranscriberDelegate* LiveSpeechTranscriber::delegate() const
{
    return sharedCore->currentDelegate();
}

void LiveSpeechTranscriber::requestAuthorization(std::function<void(bool)> completion)
{
    if (!completion)
        return;
    if (!sharedCore->recognizer) {
        Dispatch::main().async([completion] { completion(false); });
        return;
    }
    sharedCore->recognizer->requestAuthorization([completion](SpeechRecognizer::AuthorizationStatus status) {
        const bool granted = status == SpeechRecognizer::AuthorizationStatus::authorized;
        Dispatch::main().async([completion, granted] { completion(granted); });
    });
}

bool LiveSpeechTranscriber::isAuthorized() const
{
    return sharedCore->recognizer
        && sharedCore->recognizer->authorizationStatus() == SpeechRecognizer::AuthorizationStatus::authorized;
}

bool LiveSpeechTranscriber::isAvailable() const
{
    return sharedCore->recognizer && sharedCore->recognizer->isAvailable();
}

std::optional<SpeechRecognitionError> LiveSpeechTranscriber::startRecognition()
{
    const RecognitionState current = recognitionState();
    if (current != RecognitionState::idle) {
        Log::out(QStringLiteral("LiveSpeechTranscriber: Recognition not idle (state: %1), forcing cleanup")
                     .arg(stateName(current)));
        stopRecognition();
    }
    if (!isAuthorized())
        return SpeechRecognitionError::notAuthorized;
    if (!isAvailable() || !sharedCore->recognizer)
        return SpeechRecognitionError::recognizerUnavailable;

    // The tag is live before the task exists: the recognizer may report on
    // its worker before startTask has even returned.
    quint64 tag = 0;
    {
        std::lock_guard lock(sharedCore->mutex);
        tag = ++sharedCore->generation;
        sharedCore->liveTag = tag;
        sharedCore->state = RecognitionState::recognizing;
    }
    auto task = sharedCore->recognizer->startTask(
        [weak = std::weak_ptr<Core>(sharedCore), tag](const std::optional<SpeechRecognizer::Result>& result,
            const std::optional<SpeechRecognizer::Error>& error) {
            if (auto core = weak.lock())
                core->handle(tag, result, error);
        });

    std::lock_guard lock(sharedCore->mutex);
    if (!task) {
        if (sharedCore->liveTag == tag)
            sharedCore->endLocked(false);
        return SpeechRecognitionError::requestCreationFailed;
    }
    if (sharedCore->liveTag == tag)
        sharedCore->task = std::move(task);
    else
        task->cancel(); // it already failed on the worker
    return std::nullopt;
}

void LiveSpeechTranscriber::appendAudioBuffer(const float* samples, qsizetype frames, int sampleRate, int channels)
{
    std::shared_ptr<SpeechRecognizer::Task> task;
    {
        std::lock_guard lock(sharedCore->mutex);
        if (sharedCore->state != RecognitionState::recognizing)
            return;
        task = sharedCore->task;
    }
    if (task)
        task->append(samples, frames, sampleRate, channels);
}

void LiveSpeechTranscriber::stopRecognition()
{
    sharedCore->stop();
}

void LiveSpeechTranscriber::finishRecognition()
{
    std::shared_ptr<SpeechRecognizer::Task> task;
    {
        std::lock_guard lock(sharedCore->mutex);
        if (sharedCore->state != RecognitionState::recognizing)
            return;
        sharedCore->state = RecognitionState::finishing;
        task = sharedCore->task;
    }
    if (task)
        task->endAudio();
    std::shared_ptr<SpeechRecognizer::Task> ended;
    {
        std::lock_guard lock(sharedCore->mutex);
        // An availability loss may have stopped it meanwhile.
        if (sharedCore->state != RecognitionState::finishing)
            return;
        ended = sharedCore->endLocked(true);
    }
    // Cancelled right away: the preview does not wait for the final text.
    if (ended)
        ended->cancel();
}

RecognitionState LiveSpeechTranscriber::recognitionState() const
{
    std::lock_guard lock(sharedCore->mutex);
    return sharedCore->state;
}

QString LiveSpeechTranscriber::stateName(RecognitionState state)
{
    switch (state) {
    case RecognitionState::idle:
        return QStringLiteral("idle");
    case RecognitionState::recognizing:
        return QStringLiteral("recognizing");
    case RecognitionState::finishing:
        return QStringLiteral("finishing");
    }
    return {};
}
