#include "recording/RecordingsArchive.h"

#include "base/Log.h"
#include "recording/WavFile.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

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

} // namespace

void RecordingsArchive::indexUnlistedRecordings()
{
    const RecordingsIndex::Contents index = loadForRewrite();
    // An unreadable index may name these files; it is kept as it is.
    if (index.unreadable)
        return;
    QSet<QString> listed;
    for (const RecordingMetadata& entry : index.entries)
        listed.insert(entry.filename);

    QList<RecordingMetadata> adopted;
    const QFileInfoList files =
        QDir(recordingsDirectory())
            .entryInfoList({QStringLiteral("recording_*.wav")}, QDir::Files | QDir::NoSymLinks, QDir::Name);
    for (const QFileInfo& file : files) {
        if (listed.contains(file.fileName()))
            continue;
        RecordingMetadata metadata;
        metadata.filename = file.fileName();
        metadata.timestamp = RecordingMetadata::timestampFrom(savedAt(file));
        metadata.sampleRate = 16000;
        if (const std::optional<WavFile::Format> format = WavFile::readFormat(file.filePath());
            format && format->sampleRate > 0) {
            metadata.sampleRate = format->sampleRate;
            metadata.duration = static_cast<double>(format->sampleCount) / format->sampleRate;
        }
        metadata.modelUsed = QStringLiteral("unknown");
        metadata.fileSize = file.size();
        adopted.append(metadata);
        measuredSizes.insert(metadata.filename, metadata.fileSize);
        Log::out(QStringLiteral("Added %1 to the recordings index: no entry named it").arg(metadata.filename));
    }
    if (!adopted.isEmpty())
        rewriteIndex(index, allPositions(index.entries.size()), adopted, {},
            QStringLiteral("Failed to add unlisted recordings to metadata: "));
}
