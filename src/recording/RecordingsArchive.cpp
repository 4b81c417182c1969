#include "recording/RecordingsArchive.h"

#include "base/FileAside.h"
#include "base/Log.h"
#include "recording/ByteCounts.h"
#include "recording/WavFile.h"

#include <QFile>
#include <QFileInfo>

#include <sys/statvfs.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <limits>

RecordingsArchive::RecordingsArchive(Environment environment) : archiveEnvironment(std::move(environment))
{
    if (!archiveEnvironment.now)
        archiveEnvironment.now = [] { return QDateTime::currentDateTime(); };
}

QString RecordingsArchive::recordingsDirectory() const
{
    return archiveEnvironment.directory();
}

QString RecordingsArchive::metadataFile() const
{
    return recordingsDirectory() + QLatin1Char('/') + RecordingsIndex::fileName;
}

void RecordingsArchive::createRecordingsDirectoryIfNeeded()
{
    // std::filesystem, unlike QDir::mkpath, says why it failed.
    std::error_code error;
    std::filesystem::create_directories(QFile::encodeName(recordingsDirectory()).toStdString(), error);
    if (error)
        Log::out(QStringLiteral("Failed to create recordings directory: ") + QString::fromLocal8Bit(error.message()));
}

void RecordingsArchive::saveRecording(
    std::span<const float> audioData, double sampleRate, const QString& transcription, const QString& modelName)
{
    const auto sampleCount = static_cast<int64_t>(audioData.size());
    if (const std::optional<int64_t> available = getAvailableDiskSpace()) {
        const int64_t required = sampleCount * 4 + diskSpaceReserve;
        if (*available < required) {
            Log::out(QStringLiteral("RecordingManager: Insufficient disk space. Available: %1, Required: %2")
                         .arg(*available)
                         .arg(required));
            return;
        }
    }

    const QDateTime timestamp = archiveEnvironment.now();
    const QString filename = newRecordingName(timestamp);
    const QString path = recordingsDirectory() + QLatin1Char('/') + filename;
    if (!writeWAVFile(audioData, sampleRate, path))
        return;

    const QFileInfo written(path);
    RecordingMetadata metadata;
    metadata.filename = filename;
    metadata.timestamp = RecordingMetadata::timestampFrom(timestamp);
    metadata.duration = static_cast<double>(sampleCount) / sampleRate;
    metadata.sampleRate = sampleRate;
    metadata.transcription = transcription;
    metadata.modelUsed = modelName;
    metadata.fileSize = written.exists() ? written.size() : 0;
    if (folderContents.isKnown()) {
        const bool plainFile = written.isFile() && !written.isSymLink();
        folderContents.put(filename, {plainFile, plainFile ? metadata.fileSize : 0});
    }
    saveMetadata(metadata);
    performMaintenance();
}

QString RecordingsArchive::newRecordingName(const QDateTime& timestamp) const
{
    const QString stem =
        QStringLiteral("recording_") + timestamp.toLocalTime().toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss-zzz"));
    const QString folder = recordingsDirectory() + QLatin1Char('/');
    // Two saves in the same millisecond must not share (and overwrite) a file.
    QString name = stem + QStringLiteral(".wav");
    for (int n = 2; QFileInfo::exists(folder + name) || QFileInfo(folder + name).isSymLink(); ++n)
        name = stem + QLatin1Char('_') + QString::number(n) + QStringLiteral(".wav");
    return name;
}

bool RecordingsArchive::writeWAVFile(std::span<const float> audioData, double sampleRate, const QString& path)
{
    QString error;
    if (!WavFile::write(path, audioData, sampleRate, error)) {
        Log::out(QStringLiteral("Failed to write WAV file: ") + error);
        return false;
    }
    return true;
}

QList<RecordingMetadata> RecordingsArchive::loadMetadata()
{
    return loadForRewrite().entries;
}

void RecordingsArchive::saveMetadata(const RecordingMetadata& metadata)
{
    const RecordingsIndex::Contents previous = loadForRewrite();
    rewriteIndex(
        previous, allPositions(previous.entries.size()), {metadata}, {}, QStringLiteral("Failed to save metadata: "));
}

RecordingsIndex::Contents RecordingsArchive::loadForRewrite()
{
    // A copy is cheap: the lists share their data until one changes.
    RecordingsIndex::Contents contents = indexCache.current(metadataFile());
    if (contents.unreadable)
        Log::out(QStringLiteral("Failed to load metadata: ") + contents.error);
    return contents;
}

bool RecordingsArchive::rewriteIndex(const RecordingsIndex::Contents& previous, const QList<qsizetype>& kept,
    const QList<RecordingMetadata>& added, const QStringList& removed, const QString& failurePrefix)
{
    QString error;
    if (previous.unreadable && !keepUnreadableIndexAside(error)) {
        Log::out(failurePrefix + error);
        return false;
    }
    const uint64_t before = indexCache.generation();
    const bool onlyAdds = !previous.unreadable && kept.size() == previous.entries.size();
    if (!indexCache.rewrite(metadataFile(), kept, added, error)) {
        Log::out(failurePrefix + error);
        return false;
    }
    // Adding keeps the running total; anything else has it summed again.
    if (onlyAdds && storageTotalGeneration == before) {
        for (const RecordingMetadata& entry : added)
            storageTotal = ByteCounts::add(storageTotal, sizeOnDisk(entry.filename));
        storageTotalGeneration = indexCache.generation();
    }
    announce(added, removed);
    return true;
}

void RecordingsArchive::announce(const QList<RecordingMetadata>& added, const QStringList& removed)
{
    if (archiveEnvironment.changed && (!added.isEmpty() || !removed.isEmpty()))
        archiveEnvironment.changed(Change{added, removed, indexCache.generation(), folderVersion()});
}

QList<qsizetype> allPositions(qsizetype count)
{
    QList<qsizetype> positions(count);
    for (qsizetype i = 0; i < count; ++i)
        positions[i] = i;
    return positions;
}

bool RecordingsArchive::keepUnreadableIndexAside(QString& error)
{
    const QString target = moveFileAside(metadataFile(), archiveEnvironment.now(), error);
    if (target.isEmpty()) {
        error = QStringLiteral("could not keep the unreadable index aside: ") + error;
        return false;
    }
    Log::out(QStringLiteral("Kept unreadable metadata as ") + QFileInfo(target).fileName());
    indexCache.forgetFile(metadataFile());
    return true;
}

bool RecordingsArchive::isPlainFileName(const QString& name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..")
        && !name.contains(QLatin1Char('/')) && !name.contains(QChar(u'\0'));
}

RecordingsArchive::Removal RecordingsArchive::removeRecordingFile(const QString& filename)
{
    if (!isPlainFileName(filename))
        return Removal::Failed;
    const QString path = recordingsDirectory() + QLatin1Char('/') + filename;
    const QFileInfo info(path);
    Removal removal = Removal::Failed;
    if (info.isSymLink())
        removal = QFile::remove(path) ? Removal::Removed : Removal::Failed; // the link only, never its target
    else if (!info.exists())
        removal = Removal::AlreadyMissing;
    else if (info.isFile())
        removal = QFile::remove(path) ? Removal::Removed : Removal::Failed;
    if (removal != Removal::Failed)
        folderContents.remove(filename);
    return removal;
}

std::optional<int64_t> RecordingsArchive::getAvailableDiskSpace()
{
    if (archiveEnvironment.availableDiskSpace)
        return archiveEnvironment.availableDiskSpace();
    struct statvfs stats { };
    const QByteArray path = QFile::encodeName(recordingsDirectory());
    if (statvfs(path.constData(), &stats) != 0) {
        const int error = errno;
        Log::out(QStringLiteral("RecordingManager: Error checking disk space: ") + qt_error_string(error));
        return std::nullopt;
    }
    const unsigned long long bytes = static_cast<unsigned long long>(stats.f_bavail) * stats.f_frsize;
    return static_cast<int64_t>(std::min<unsigned long long>(bytes, std::numeric_limits<int64_t>::max()));
}
