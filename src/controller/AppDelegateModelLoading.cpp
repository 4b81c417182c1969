#include "controller/AppDelegate.h"

#include "base/Log.h"
#include "core/speech/ModelManager.h"
#include "core/speech/WhisperModelFile.h"
#include "core/speech/WhisperWrapper.h"

#include "platform/AlertPresenter.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <sys/stat.h>

namespace {

constexpr qint64 smallestModelFileSize = 1000;

} // namespace

void AppDelegate::ensureModelLoaded(std::function<void(bool)> completion)
{
    QPointer<AppDelegate> weak(this);
    const LifetimeGuard::Token lifetime = modelLoadLifetime.token();

    if (isLoadingModel.load()) {
        // Answered by the running load when it ends. (A waiter polling the
        // flag on the serial load queue could block a load queued behind it
        // for good, should a new load start before the waiter saw the flag
        // clear.)
        std::lock_guard lock(modelMutex);
        modelLoadWaiters.push_back(std::move(completion));
        return;
    }

    bool haveBridge = false;
    {
        std::lock_guard lock(modelMutex);
        haveBridge = whisperWrapper != nullptr;
    }
    if (haveBridge) {
        completion(true);
        return;
    }

    isLoadingModel = true;
    modelLoadQueue.async([this, lifetime, weak, completion = std::move(completion)] {
        bool loaded = false;
        {
            const auto inside = lifetime.enter();
            if (!inside.owns_lock()) {
                Dispatch::main().async([completion] { completion(false); });
                return;
            }
            loaded = loadWhisperModelSync();
        }
        Dispatch::main().async([weak, completion, loaded] {
            if (!weak) {
                completion(false);
                return;
            }
            weak->isLoadingModel = false;
            if (loaded) {
                weak->reportedModelLoadFailure.clear(); // a later failure is news again
                // Parked recordings stopped before whatever this caller
                // brings, so they go to transcription first.
                weak->performParkedTranscriptions();
            } else {
                weak->keepParkedTranscriptions();
            }
            completion(loaded);
            if (weak)
                weak->answerModelLoadWaiters();
        });
    });
}

void AppDelegate::modelChosen()
{
    ModelManager& store = ModelManager::shared();
    const std::optional<WhisperModel> active = store.activeModel();
    const QString activePath = active ? store.modelPath(*active) : QString();
    {
        std::lock_guard lock(modelMutex);
        // The model chosen again is the one in use: letting it go would make
        // the next dictation read the whole file anew.
        if (!activePath.isEmpty() && activePath == modelInUsePath && (whisperWrapper || isLoadingModel.load()))
            return;
    }
    activeModelChanged();
}

void AppDelegate::performParkedTranscriptions()
{
    QPointer<AppDelegate> weak(this);
    std::deque<PendingTranscription> parked;
    {
        std::lock_guard lock(modelMutex);
        parked.swap(pendingTranscriptions);
    }
    for (PendingTranscription& job : parked) {
        if (!weak)
            break;
        processPendingTranscription(std::move(job.audioData), job.sampleRate, job.mode);
    }
}

void AppDelegate::keepParkedTranscriptions()
{
    {
        std::lock_guard lock(modelMutex);
        if (pendingTranscriptions.empty())
            return;
    }
    Log::system(QStringLiteral("[AppDelegate] Model failed to load, queued transcriptions wait for the next load"));
    // They no longer count as work under way.
    updateStatusIcon(false, false);
    reportModelLoadFailure();
}

void AppDelegate::reparkTranscription(std::vector<float> audio, double sampleRate, RecordingMode mode)
{
    Log::system(QStringLiteral("[AppDelegate] Model changed before the transcription began, queueing it again"));
    {
        std::lock_guard lock(modelMutex);
        pendingTranscriptions.push_back(PendingTranscription{std::move(audio), sampleRate, mode});
    }
    QPointer<AppDelegate> weak(this);
    ensureModelLoaded([weak](bool loaded) {
        // A load hands parked recordings over (or keeps them) itself; with
        // a bridge already there, this does.
        if (loaded && weak)
            weak->performParkedTranscriptions();
    });
}

void AppDelegate::reportModelLoadFailure()
{
    QString failure;
    {
        std::lock_guard lock(modelMutex);
        failure = modelLoadFailure;
    }
    if (failure.isEmpty() || failure == reportedModelLoadFailure)
        return;
    reportedModelLoadFailure = failure;
    showModelError(QStringLiteral("Tallowind could not load the speech model %1.\n\nChoose or download a model "
                                  "in Settings.")
                       .arg(failure));
}

bool AppDelegate::failModelLoad(const QString& path, const QString& reason)
{
    Log::system(QStringLiteral("[AppDelegate] Failed to load model %1: %2").arg(path, reason));
    std::lock_guard lock(modelMutex);
    modelLoadFailure = path + QStringLiteral(": ") + reason;
    modelInUsePath.clear();
    return false;
}

void AppDelegate::answerModelLoadWaiters()
{
    std::vector<std::function<void(bool)>> waiters;
    bool loaded = false;
    {
        std::lock_guard lock(modelMutex);
        waiters.swap(modelLoadWaiters);
        loaded = whisperWrapper != nullptr;
    }
    for (const auto& waiter : waiters)
        waiter(loaded);
}

bool AppDelegate::loadWhisperModelSync()
{
    ModelManager& store = ModelManager::shared();
    // Each round either loads or repairs the active-model setting; a store
    // that refuses the repair, or a model that keeps changing, must not make
    // this spin, hence the bound.
    const qsizetype rounds = WhisperModel::allCases().size() + 2;
    for (qsizetype round = 0; round < rounds; ++round) {
        uint64_t generation = 0;
        {
            std::lock_guard lock(modelMutex);
            generation = modelGeneration;
        }
        const std::optional<WhisperModel> active = store.activeModel();
        if (!active) {
            const QList<WhisperModel> downloaded = store.downloadedModels();
            if (downloaded.isEmpty()) {
                Log::system(QStringLiteral("[AppDelegate] No model found: expected a model file in %1")
                                .arg(store.modelsDirectory()));
                std::lock_guard lock(modelMutex);
                modelLoadFailure = store.modelsDirectory() + QStringLiteral(": no model file is in this folder");
                return false;
            }
            store.setActiveModel(downloaded.first());
            continue;
        }

        const QString path = store.modelPath(*active);
        if (!QFileInfo::exists(path)) {
            store.setActiveModel(std::nullopt);
            std::optional<WhisperModel> replacement;
            for (WhisperModel candidate : store.downloadedModels()) {
                if (!(candidate == *active) && QFileInfo::exists(store.modelPath(candidate))) {
                    replacement = candidate;
                    break;
                }
            }
            if (!replacement) {
                Log::system(QStringLiteral("[AppDelegate] No model found: expected the model file %1").arg(path));
                std::lock_guard lock(modelMutex);
                modelLoadFailure = path + QStringLiteral(": the file does not exist");
                return false;
            }
            store.setActiveModel(replacement);
            continue;
        }

        {
            std::lock_guard lock(modelMutex);
            if (modelGeneration == generation)
                modelInUsePath = path;
        }
        Log::system(QStringLiteral("[AppDelegate] Loading model %1").arg(path));
        if (const std::optional<QString> problem = whisperModelFileProblem(path))
            return failModelLoad(path, *problem);
        // Unreadable attributes are no reason to refuse; a tiny file is.
        struct stat attributes { };
        if (stat(path.toUtf8().constData(), &attributes) == 0 && attributes.st_size < smallestModelFileSize)
            return failModelLoad(
                path, QStringLiteral("the file has only %1 bytes, too few for a model").arg(attributes.st_size));

        std::shared_ptr<WhisperWrapper> bridge;
        {
            std::lock_guard lock(modelMutex);
            bridge = whisperWrapper;
        }
        if (bridge) {
            if (!bridge->switchModel(path))
                return failModelLoad(path, QStringLiteral("whisper.cpp could not load it"));
            std::lock_guard lock(modelMutex);
            modelLoadFailure.clear();
            return true;
        }

        std::shared_ptr<WhisperWrapper> created = WhisperWrapper::create(path);
        if (!created)
            return failModelLoad(path, QStringLiteral("whisper.cpp could not load it"));
        // Published only for the model still active, and only when no switch
        // came while it loaded (that switch found no bridge to let go).
        const bool stillActive = store.activeModel() == active;
        {
            std::lock_guard lock(modelMutex);
            if (stillActive && modelGeneration == generation) {
                whisperWrapper = std::move(created);
                modelLoadFailure.clear();
                return true;
            }
        }
        Log::system(QStringLiteral("[AppDelegate] Model changed while %1 loaded; loading the active model").arg(path));
    }
    return false;
}

void AppDelegate::showModelError(const QString& message)
{
    QPointer<AppDelegate> weak(this);
    Dispatch::main().async([weak, message] {
        if (!weak)
            return;
        Alert alert;
        alert.messageText = QStringLiteral("Model Loading Failed");
        alert.informativeText = message;
        alert.style = AlertStyle::Critical;
        alert.buttons = {QStringLiteral("Open Settings"), QStringLiteral("Quit")};
        const int response =
            weak->platformServices.alertPresenter ? weak->platformServices.alertPresenter->runModal(alert) : -1;
        // Only the "Quit" button quits; an alert dismissed with Escape or its
        // close button leaves the tool running.
        if (response == 0) {
            if (weak)
                weak->showSettings();
        } else if (response == 1) {
            QCoreApplication::quit();
        }
    });
}
