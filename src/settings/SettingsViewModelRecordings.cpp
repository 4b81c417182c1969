#include "settings/SettingsViewModel.h"

#include "base/Dispatch.h"
#include "platform/Workspace.h"
#include "recording/RecordingManager.h"
#include "settings/recordings/RecordingsCatalog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QUrl>

namespace {

bool isRegularFile(const QFileInfo& info)
{
    return info.isFile() && !info.isSymLink();
}

// The text file beside each removed audio file goes too; a missing one is
// fine. For a worker thread.
void removeTextFilesBeside(const QStringList& audioPaths)
{
    for (const QString& path : audioPaths) {
        const QString textFile = RecordingsCatalog::textFileBeside(path);
        if (QFileInfo(textFile).isFile())
            QFile::remove(textFile);
    }
}

} // namespace

void SettingsViewModel::loadRecordings()
{
    RecordingsCatalog& catalog = RecordingsCatalog::shared();
    if (!followsRecordingsCatalog) {
        followsRecordingsCatalog = true;
        connect(&catalog, &RecordingsCatalog::rowsChanged, this,
            [this] { setRecordings(RecordingsCatalog::shared().rows()); });
        connect(&catalog, &RecordingsCatalog::listed, this, [this] { setRecordingsListed(true); });
    }
    if (catalog.isLoaded()) {
        setRecordings(catalog.rows());
        setRecordingsListed(true);
    }
    catalog.refresh();
}

void SettingsViewModel::setRecordingsListed(bool value)
{
    if (listedRecordings == value)
        return;
    listedRecordings = value;
    emit recordingsListedChanged(value);
}

void SettingsViewModel::openRecordingInFinder(const RecordingInfo& recording)
{
    if (workspace)
        workspace->revealFile(recording.filePath);
}

void SettingsViewModel::openRecordingsFolder()
{
    const QString folder = RecordingManager::shared().recordingsDirectory();
    QDir().mkpath(folder);
    if (workspace)
        workspace->openURL(QUrl::fromLocalFile(folder));
}

void SettingsViewModel::deleteRecording(const RecordingInfo& recording)
{
    deleteRecordings({recording});
}

void SettingsViewModel::deleteRecordings(const QList<RecordingInfo>& recordings)
{
    removeRecordings(recordings, Removal::Named);
}

void SettingsViewModel::removeRecordings(const QList<RecordingInfo>& recordings, Removal removal)
{
    // Through the store, so that the files and their index entries go
    // together, in one batch.
    QStringList indexedNames;
    QHash<QString, QString> pathsByName;
    QList<RecordingInfo> unindexed;
    for (const RecordingInfo& recording : recordings) {
        if (recording.indexedName.isEmpty()) {
            unindexed.append(recording);
        } else if (!pathsByName.contains(recording.indexedName)) {
            indexedNames.append(recording.indexedName);
            pathsByName.insert(recording.indexedName, recording.filePath);
        }
    }
    const auto removeTextFiles = [pathsByName](const QStringList& removed) {
        QStringList paths;
        for (const QString& name : removed)
            paths.append(pathsByName.value(name));
        Dispatch::global(Dispatch::QoS::Utility).async([paths] { removeTextFilesBeside(paths); });
    };
    if (removal == Removal::ClearingAll)
        RecordingManager::shared().clearRecordings(indexedNames, removeTextFiles);
    else if (!indexedNames.isEmpty())
        RecordingManager::shared().deleteRecordings(indexedNames, removeTextFiles);
    if (unindexed.isEmpty())
        return;
    Dispatch::global(Dispatch::QoS::UserInitiated).async([unindexed] {
        QStringList paths;
        for (const RecordingInfo& recording : unindexed) {
            // Only a regular file is removed, never a folder named like one.
            if (isRegularFile(QFileInfo(recording.filePath)) && QFile::remove(recording.filePath))
                paths.append(recording.filePath);
        }
        removeTextFilesBeside(paths);
        Dispatch::main().async([paths] { RecordingsCatalog::shared().forget(paths); });
    });
}

void SettingsViewModel::clearAllRecordings()
{
    removeRecordings(recordingRows, Removal::ClearingAll);
}
