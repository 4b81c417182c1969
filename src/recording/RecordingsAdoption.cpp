#include "recording/RecordingsArchive.h"

#include "base/Log.h"
#include "recording/WavFile.h"

#include <QFileInfo>
#include <QSet>

#include <algorithm>

namespace {

// "recording_2026-03-07_14-05-09-042.wav" (maybe with "_2" before the
// extension) names the local time of its save; other names fall back to the
// file's modification time.
QDateTime savedAt(const QFileInfo& file)
{
    static const QString prefix = QStringLiteral("recording_");
    static const QString format = QStringLiteral("yyyy-MM-dd_HH-mm-ss-zzz");
    const QDateTime named = QDateTime::fromString(file.fileName().mid(prefix.size(), format.size()), format);
    return named.isValid() ? named : file.lastModified();
}

bool isRecordingName(const QString& name)
{
    return name.startsWith(QStringLiteral("recording_"), Qt::CaseInsensitive)
        && name.endsWith(QStringLiteral(".wav"), Qt::CaseInsensitive);
}

} // namespace

void RecordingsArchive::checkIndexAtStart()
{
    // The one full look at the folder: later saves count from it.
    lookAtFolder();
    const RecordingsIndex::Contents index = loadForRewrite();
    storageOnDisk(index);
    // An unreadable index may name these files; it is kept as it is.
    if (index.unreadable)
        return;
    QSet<QString> listed;
    for (const RecordingMetadata& entry : index.entries)
        listed.insert(entry.filename);

    QStringList unlisted;
    folderContents.forEach([&](const QString& name, const RecordingsFolder::Item& item) {
        if (item.plainFile && isRecordingName(name) && !listed.contains(name))
            unlisted.append(name);
    });
    std::sort(unlisted.begin(), unlisted.end());

    QList<RecordingMetadata> adopted;
    for (const QString& name : std::as_const(unlisted)) {
        const QFileInfo file(recordingsDirectory() + QLatin1Char('/') + name);
        RecordingMetadata metadata;
        metadata.filename = name;
        metadata.timestamp = RecordingMetadata::timestampFrom(savedAt(file));
        metadata.sampleRate = 16000;
        if (const std::optional<WavFile::Format> format = WavFile::readFormat(file.filePath());
            format && format->sampleRate > 0) {
            metadata.sampleRate = format->sampleRate;
            metadata.duration = static_cast<double>(format->sampleCount) / format->sampleRate;
        }
        metadata.modelUsed = QStringLiteral("unknown");
        metadata.fileSize = folderContents.item(name).size;
        adopted.append(metadata);
        Log::out(QStringLiteral("Added %1 to the recordings index: no entry named it").arg(metadata.filename));
    }
    if (!adopted.isEmpty())
        rewriteIndex(index, allPositions(index.entries.size()), adopted, {},
            QStringLiteral("Failed to add unlisted recordings to metadata: "));
}
