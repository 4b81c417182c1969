#include "settings/SettingsViewModel.h"

#include "platform/Workspace.h"
#include "recording/RecordingManager.h"
#include "recording/RecordingsArchive.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStringDecoder>
#include <QUrl>

#include <algorithm>
#include <optional>

namespace {

QString textFileBeside(const QString& audioPath)
{
    const QFileInfo audio(audioPath);
    return audio.path() + QLatin1Char('/') + audio.completeBaseName() + QStringLiteral(".txt");
}

// The whole file as UTF-8; nothing when it cannot be read or is not UTF-8.
std::optional<QString> readUtf8(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

// The third "_"-separated part of the name and everything after it.
QString modelFromName(const QString& baseName)
{
    const QStringList parts = baseName.split(QLatin1Char('_'), Qt::SkipEmptyParts);
    if (parts.size() < 3)
        return QStringLiteral("Unknown");
    return parts.mid(2).join(QLatin1Char('_'));
}

bool isRegularFile(const QFileInfo& info)
{
    return info.isFile() && !info.isSymLink();
}

} // namespace

void SettingsViewModel::loadRecordings()
{
    const QString folder = RecordingManager::shared().recordingsDirectory();
    if (!QFileInfo(folder).isDir()) {
        setRecordings({});
        return;
    }

    // The recordings the tool saved itself, from its index.
    QList<RecordingInfo> rows;
    QSet<QString> indexedPaths;
    for (const RecordingMetadata& entry : RecordingManager::shared().getRecordings()) {
        if (!RecordingsArchive::isPlainFileName(entry.filename))
            continue;
        const QString path = folder + QLatin1Char('/') + entry.filename;
        if (!isRegularFile(QFileInfo(path)) || indexedPaths.contains(path))
            continue;
        indexedPaths.insert(path);
        RecordingInfo row(entry.date(), entry.transcription, entry.modelUsed, path);
        row.indexedName = entry.filename;
        rows.append(row);
    }

    // Audio files placed there by other means, listed when a text file with
    // the transcription lies beside them.
    QDirIterator walk(folder, QDir::Files | QDir::Hidden | QDir::NoSymLinks, QDirIterator::Subdirectories);
    while (walk.hasNext()) {
        const QFileInfo audio(walk.next());
        if (audio.suffix() != QStringLiteral("wav") || !isRegularFile(audio))
            continue;
        const QString path = audio.filePath();
        if (indexedPaths.contains(path))
            continue;
        const std::optional<QString> transcription = readUtf8(textFileBeside(path));
        if (!transcription)
            continue;
        QDateTime date = audio.birthTime();
        if (!date.isValid())
            date = QDateTime::currentDateTime();
        rows.append(RecordingInfo(date, *transcription, modelFromName(audio.completeBaseName()), path));
    }

    std::stable_sort(
        rows.begin(), rows.end(), [](const RecordingInfo& a, const RecordingInfo& b) { return a.date > b.date; });
    setRecordings(rows);
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
    if (!recording.indexedName.isEmpty()) {
        // Through the store, so that the file and its index entry go together.
        if (!RecordingManager::shared().deleteRecording(recording.indexedName))
            return;
    } else {
        // Only a regular file is removed, never a folder named like one.
        if (!isRegularFile(QFileInfo(recording.filePath)) || !QFile::remove(recording.filePath))
            return;
    }
    const QString textFile = textFileBeside(recording.filePath);
    if (QFileInfo(textFile).isFile())
        QFile::remove(textFile);

    QList<RecordingInfo> remaining = recordingRows;
    remaining.removeIf([&](const RecordingInfo& row) { return row.id == recording.id; });
    setRecordings(remaining);
}

void SettingsViewModel::clearAllRecordings()
{
    const QList<RecordingInfo> listed = recordingRows;
    for (const RecordingInfo& recording : listed)
        deleteRecording(recording);
}
