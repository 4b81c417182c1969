#include "controller/AppDelegate.h"

#include "core/speech/ModelManager.h"
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
            completion(loaded);
            if (loaded) {
                std::deque<PendingTranscription> parked;
                {
                    std::lock_guard lock(weak->modelMutex);
                    parked.swap(weak->pendingTranscriptions);
                }
                for (PendingTranscription& job : parked) {
                    if (!weak)
                        break;
                    weak->processPendingTranscription(std::move(job.audioData), job.sampleRate, job.mode);
                }
            }
            // Failed: parked recordings wait for the next successful load.
            if (weak)
                weak->answerModelLoadWaiters();
        });
    });
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
    // that refuses the repair must not make this spin, hence the bound.
    const qsizetype rounds = WhisperModel::allCases().size() + 2;
    for (qsizetype round = 0; round < rounds; ++round) {
        const std::optional<WhisperModel> active = store.activeModel();
        if (!active) {
            const QList<WhisperModel> downloaded = store.downloadedModels();
            if (downloaded.isEmpty())
                return false;
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
            if (!replacement)
                return false;
            store.setActiveModel(replacement);
            continue;
        }

        // Unreadable attributes are no reason to refuse; a tiny file is.
        struct stat attributes { };
        if (stat(path.toUtf8().constData(), &attributes) == 0 && attributes.st_size < smallestModelFileSize)
            return false;

        std::shared_ptr<WhisperWrapper> bridge;
        {
            std::lock_guard lock(modelMutex);
            bridge = whisperWrapper;
        }
        if (bridge)
            return bridge->switchModel(path);

        std::shared_ptr<WhisperWrapper> created = WhisperWrapper::create(path);
        const bool loaded = created != nullptr;
        std::lock_guard lock(modelMutex);
        whisperWrapper = std::move(created);
        return loaded;
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
        if (response == 0) {
            if (weak)
                weak->showSettings();
            return;
        }
        QCoreApplication::quit();
    });
}
