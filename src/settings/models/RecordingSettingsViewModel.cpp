#include "settings/models/RecordingSettingsViewModel.h"

#include "base/Dispatch.h"
#include "base/Published.h"
#include "core/config/AppConfig.h"
#include "platform/Workspace.h"
#include "recording/ByteCounts.h"
#include "recording/RecordingManager.h"
#include "settings/models/ByteCountText.h"
#include "settings/models/FileDialogs.h"

#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QSaveFile>
#include <QUrl>

namespace {

// Streams the source into a file renamed over the destination only once
// every byte is written. The error text, or nothing.
std::optional<QString> copyThroughTemporaryFile(const QString& source, const QString& destination)
{
    QFile input(source);
    if (!input.open(QIODevice::ReadOnly))
        return QStringLiteral("Could not read %1: %2").arg(source, input.errorString());
    QSaveFile output(destination);
    if (!output.open(QIODevice::WriteOnly))
        return QStringLiteral("Could not write %1: %2").arg(destination, output.errorString());
    constexpr qint64 chunk = 1024 * 1024;
    while (!input.atEnd()) {
        const QByteArray bytes = input.read(chunk);
        if (bytes.isEmpty() && input.error() != QFileDevice::NoError) {
            output.cancelWriting();
            return QStringLiteral("Could not read %1: %2").arg(source, input.errorString());
        }
        if (output.write(bytes) != bytes.size()) {
            const QString reason = output.errorString();
            output.cancelWriting();
            return QStringLiteral("Could not write %1: %2").arg(destination, reason);
        }
    }
    if (!output.commit())
        return QStringLiteral("Could not write %1: %2").arg(destination, output.errorString());
    return std::nullopt;
}

} // namespace

RecordingSettingsViewModel::RecordingSettingsViewModel(
    RecordingManager& recordingManager, std::shared_ptr<Workspace> opener, QObject* parent)
    : QObject(parent), store(recordingManager), workspace(std::move(opener))
{
    loadSettings();
    setupBindings();
    QPointer<RecordingSettingsViewModel> self(this);
    Dispatch::main().async([self] {
        if (self)
            self->loadRecordings();
    });
}

RecordingSettingsViewModel::~RecordingSettingsViewModel() = default;

void RecordingSettingsViewModel::loadSettings()
{
    setEnableRecordingSaving(store.isSaveEnabled());
    setShowInFinderAfterSaving(AppConfig::showInFinderAfterSaving());
    setRecordingsDirectory(store.recordingsDirectory());
    setMaxStorageSizeMB(store.maxStorageSizeMB());
    setAutoDeleteAfterDays(store.autoDeleteAfterDays());
}

void RecordingSettingsViewModel::setupBindings()
{
    for (QTimer* timer : {&storageLimitSave, &ageLimitSave}) {
        timer->setSingleShot(true);
        timer->setInterval(saveDelayMs);
    }
    // Only the newest limit of a burst of changes is stored.
    connect(&storageLimitSave, &QTimer::timeout, this, [this] { store.setMaxStorageSizeMB(storageLimit); });
    connect(&ageLimitSave, &QTimer::timeout, this, [this] { store.setAutoDeleteAfterDays(ageLimit); });
    bound = true;
}

void RecordingSettingsViewModel::setRecordings(const QList<RecordingInfo>& value)
{
    publish(this, list, value, &RecordingSettingsViewModel::recordingsChanged);
}

void RecordingSettingsViewModel::setIsLoadingRecordings(bool value)
{
    publish(this, loading, value, &RecordingSettingsViewModel::isLoadingRecordingsChanged);
}

void RecordingSettingsViewModel::setEnableRecordingSaving(bool value)
{
    savesRecordings = value;
    emit enableRecordingSavingChanged(value);
    if (bound)
        store.setIsSaveEnabled(value);
}

void RecordingSettingsViewModel::setShowInFinderAfterSaving(bool value)
{
    revealsAfterSaving = value;
    emit showInFinderAfterSavingChanged(value);
    if (bound)
        AppConfig::setShowInFinderAfterSaving(value);
}

void RecordingSettingsViewModel::setRecordingsDirectory(const std::optional<QString>& value)
{
    publish(this, directory, value, &RecordingSettingsViewModel::recordingsDirectoryChanged);
}

void RecordingSettingsViewModel::setMaxStorageSizeMB(qint64 value)
{
    storageLimit = value;
    emit maxStorageSizeMBChanged(value);
    if (bound)
        storageLimitSave.start();
}

void RecordingSettingsViewModel::setAutoDeleteAfterDays(qint64 value)
{
    ageLimit = value;
    emit autoDeleteAfterDaysChanged(value);
    if (bound)
        ageLimitSave.start();
}

void RecordingSettingsViewModel::setTotalStorageUsed(const QString& value)
{
    publish(this, total, value, &RecordingSettingsViewModel::totalStorageUsedChanged);
}

void RecordingSettingsViewModel::setSelectedRecordings(const QSet<QUuid>& value)
{
    publish(this, selection, value, &RecordingSettingsViewModel::selectedRecordingsChanged);
}

void RecordingSettingsViewModel::loadRecordings()
{
    setIsLoadingRecordings(true);
    setRecordings({});
    setIsLoadingRecordings(false);
}

void RecordingSettingsViewModel::deleteRecording(const RecordingInfo&) { }

void RecordingSettingsViewModel::deleteSelectedRecordings()
{
    setSelectedRecordings({});
    loadRecordings();
}

void RecordingSettingsViewModel::updateTotalStorageUsed()
{
    int64_t bytes = 0;
    for (const RecordingInfo& recording : std::as_const(list))
        bytes = ByteCounts::add(bytes, recording.metadata.fileSize);
    setTotalStorageUsed(byteCountText(bytes));
}

void RecordingSettingsViewModel::showInFinder(const RecordingInfo& recording)
{
    if (workspace)
        workspace->revealFile(recording.filePath);
}

void RecordingSettingsViewModel::playRecording(const RecordingInfo& recording)
{
    if (workspace)
        workspace->openURL(QUrl::fromLocalFile(recording.filePath));
}

void RecordingSettingsViewModel::exportRecording(const RecordingInfo& recording, Completion completion)
{
    QPointer<RecordingSettingsViewModel> self(this);
    // The stored name is only a suggestion, and only its last part.
    const QString suggested = QFileInfo(recording.metadata.filename).fileName();
    FileDialogs::chooseSaveFile(suggested, QStringLiteral("Audio files (*.wav)"),
        [self, recording, completion](const std::optional<QString>& path) {
            if (path && self)
                self->exportRecordingTo(recording, *path, completion);
            else if (completion)
                completion(std::nullopt);
        });
}

void RecordingSettingsViewModel::exportRecordingTo(
    const RecordingInfo& recording, const QString& destination, Completion completion)
{
    const QString source = recording.filePath;
    Dispatch::global(Dispatch::QoS::UserInitiated).async([source, destination, completion] {
        const std::optional<QString> failure = copyThroughTemporaryFile(source, destination);
        Dispatch::main().async([completion, failure] {
            if (completion)
                completion(failure);
        });
    });
}

void RecordingSettingsViewModel::chooseRecordingsDirectory(std::function<void()> done)
{
    QPointer<RecordingSettingsViewModel> self(this);
    FileDialogs::chooseFolder(QStringLiteral("Choose where to save recordings"), QStringLiteral("Choose"),
        [self, done](const std::optional<QString>& path) {
            if (path && self) {
                self->setRecordingsDirectory(*path);
                self->loadRecordings();
            }
            if (done)
                done();
        });
}
