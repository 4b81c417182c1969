#include "recording/RecordingManager.h"

#include "base/Defaults.h"
#include "base/Dispatch.h"
#include "core/config/AppConfig.h"
#include "recording/RecordingsArchive.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>
#include <QThread>

#include <cmath>
#include <limits>

namespace {

namespace SettingsKeys {
const QString maxStorageSize = QStringLiteral("MaxRecordingsStorageSize");
const QString autoDeleteAfterDays = QStringLiteral("AutoDeleteRecordingsAfterDays");
} // namespace SettingsKeys

namespace RetentionDefaults {
constexpr int64_t maxStorageSize = 500;
constexpr int64_t autoDeleteAfterDays = 30;
} // namespace RetentionDefaults

// The store's integer read: numbers (fractions cut off), numeric text and
// booleans convert; anything else reads as 0.
int64_t storedInteger(const QString& key)
{
    const QVariant value = Defaults::value(key);
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = value.toDouble();
        if (!std::isfinite(d) || std::fabs(d) >= 9.2e18)
            return 0;
        return static_cast<int64_t>(std::trunc(d));
    }
    case QMetaType::QString:
        return value.toString().trimmed().toLongLong();
    default:
        return value.canConvert<qlonglong>() ? value.toLongLong() : 0;
    }
}

int64_t positiveOr(int64_t value, int64_t fallback)
{
    return value > 0 ? value : fallback;
}

// Runs an assignment where subscribers expect it: on the main thread. With
// no application yet there is no event loop to carry it, so it runs here.
template <typename Assignment> void onMainThread(Assignment assignment)
{
    if (!QCoreApplication::instance() || Dispatch::isMainThread())
        assignment();
    else
        Dispatch::main().async(std::move(assignment));
}

QString recordingsDirectoryPath()
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty())
        base = QDir::tempPath();
    return base + QStringLiteral("/Tallowind/Recordings");
}

} // namespace

RecordingManager& RecordingManager::shared()
{
    // Never destroyed: work queued at exit is finished by the aboutToQuit
    // hook instead of racing static destruction.
    static RecordingManager* const instance = [] {
        auto* manager = new RecordingManager();
        if (QCoreApplication* app = QCoreApplication::instance())
            manager->moveToThread(app->thread());
        return manager;
    }();
    return *instance;
}

RecordingManager::RecordingManager()
{
    RecordingsArchive::Environment environment;
    environment.directory = recordingsDirectoryPath;
    environment.now = [] { return QDateTime::currentDateTime(); };
    environment.maxStorageSizeMB = [this] { return maxStorageSizeMB(); };
    environment.autoDeleteAfterDays = [this] { return autoDeleteAfterDays(); };
    environment.changed = [this](const RecordingsArchive::Change& change) {
        onMainThread([this, change] {
            emit recordingsChanged(change.added, change.removed, change.generation, change.folderVersion);
        });
    };
    recordingsArchive = std::make_shared<RecordingsArchive>(std::move(environment));
    archiveQueue = std::make_unique<Dispatch::SerialQueue>(QStringLiteral("com.tallowind.recordings"));

    recordingsArchive->createRecordingsDirectoryIfNeeded();
    archiveQueue->async([archive = std::weak_ptr<RecordingsArchive>(recordingsArchive)] {
        if (std::shared_ptr<RecordingsArchive> strong = archive.lock())
            strong->checkIndexAtStart();
    });

    if (QCoreApplication* app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, &RecordingManager::waitForPendingWork, Qt::DirectConnection);
}

RecordingManager::~RecordingManager() = default;

void RecordingManager::setIsRecording(bool value)
{
    onMainThread([this, value] {
        recordingInProgress.store(value);
        emit isRecordingChanged(value);
    });
}

void RecordingManager::setAudioLevel(float value)
{
    onMainThread([this, value] {
        currentAudioLevel.store(value);
        emit audioLevelChanged(value);
    });
}

QString RecordingManager::currentTranscription() const
{
    std::lock_guard lock(currentTranscriptionMutex);
    return currentTranscriptionText;
}

void RecordingManager::setCurrentTranscription(const QString& value)
{
    onMainThread([this, value] {
        {
            std::lock_guard lock(currentTranscriptionMutex);
            currentTranscriptionText = value;
        }
        emit currentTranscriptionChanged(value);
    });
}

bool RecordingManager::isSaveEnabled() const
{
    return AppConfig::enableRecordingSaving();
}

void RecordingManager::setIsSaveEnabled(bool value)
{
    AppConfig::setEnableRecordingSaving(value);
}

int64_t RecordingManager::maxStorageSizeMB() const
{
    return positiveOr(storedInteger(SettingsKeys::maxStorageSize), RetentionDefaults::maxStorageSize);
}

void RecordingManager::setMaxStorageSizeMB(int64_t value)
{
    Defaults::setValue(SettingsKeys::maxStorageSize, static_cast<qlonglong>(value));
}

int64_t RecordingManager::autoDeleteAfterDays() const
{
    return positiveOr(storedInteger(SettingsKeys::autoDeleteAfterDays), RetentionDefaults::autoDeleteAfterDays);
}

void RecordingManager::setAutoDeleteAfterDays(int64_t value)
{
    Defaults::setValue(SettingsKeys::autoDeleteAfterDays, static_cast<qlonglong>(value));
}

QString RecordingManager::recordingsDirectory() const
{
    return recordingsArchive->recordingsDirectory();
}

void RecordingManager::saveRecording(
    std::vector<float> audioData, double sampleRate, const QString& transcription, const QString& modelName)
{
    // Checked on the caller's thread: with saving off nothing is queued.
    if (!isSaveEnabled())
        return;
    std::weak_ptr<RecordingsArchive> archive = recordingsArchive;
    archiveQueue->async([archive, audioData = std::move(audioData), sampleRate, transcription, modelName] {
        if (std::shared_ptr<RecordingsArchive> strong = archive.lock())
            strong->saveRecording(audioData, sampleRate, transcription, modelName);
    });
}

QList<RecordingMetadata> RecordingManager::getRecordings() const
{
    QList<RecordingMetadata> recordings;
    archiveQueue->sync([this, &recordings] { recordings = recordingsArchive->getRecordings(); });
    return recordings;
}

void RecordingManager::listRecordings(ListCompletion completion)
{
    std::weak_ptr<RecordingsArchive> archive = recordingsArchive;
    archiveQueue->async([archive, completion = std::move(completion)] {
        QList<RecordingMetadata> recordings;
        uint64_t generation = 0;
        uint64_t folderVersion = 0;
        if (std::shared_ptr<RecordingsArchive> strong = archive.lock())
            recordings = strong->getRecordings(generation, folderVersion);
        onMainThread(
            [completion, recordings, generation, folderVersion] { completion(recordings, generation, folderVersion); });
    });
}

void RecordingManager::deleteRecordings(const QStringList& filenames, RemovalCompletion completion)
{
    removeOnArchiveQueue(&RecordingsArchive::deleteRecordings, filenames, std::move(completion));
}

void RecordingManager::clearRecordings(const QStringList& filenames, RemovalCompletion completion)
{
    removeOnArchiveQueue(&RecordingsArchive::clearRecordings, filenames, std::move(completion));
}

void RecordingManager::removeOnArchiveQueue(
    QStringList (RecordingsArchive::*removal)(const QStringList&), QStringList filenames, RemovalCompletion completion)
{
    std::weak_ptr<RecordingsArchive> archive = recordingsArchive;
    archiveQueue->async([archive, removal, filenames = std::move(filenames), completion = std::move(completion)] {
        QStringList removed;
        if (std::shared_ptr<RecordingsArchive> strong = archive.lock())
            removed = ((*strong).*removal)(filenames);
        if (completion)
            onMainThread([completion, removed] { completion(removed); });
    });
}

bool RecordingManager::deleteRecording(const QString& filename)
{
    bool deleted = false;
    archiveQueue->sync([this, &filename, &deleted] { deleted = recordingsArchive->deleteRecording(filename); });
    return deleted;
}

void RecordingManager::deleteAllRecordings()
{
    archiveQueue->sync([this] { recordingsArchive->deleteAllRecordings(); });
}

int64_t RecordingManager::getTotalStorageUsed() const
{
    int64_t total = 0;
    archiveQueue->sync([this, &total] { total = recordingsArchive->getTotalStorageUsed(); });
    return total;
}

void RecordingManager::waitForPendingWork()
{
    archiveQueue->sync([] {});
}
