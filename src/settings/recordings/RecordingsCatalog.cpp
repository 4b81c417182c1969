#include "settings/recordings/RecordingsCatalog.h"

#include "base/Dispatch.h"
#include "recording/RecordingManager.h"
#include "recording/RecordingsArchive.h"
#include "recording/RecordingsIndexCache.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QSet>
#include <QStringDecoder>

#include <algorithm>
#include <optional>

namespace {

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

SettingsViewModel::RecordingInfo indexedRow(const RecordingMetadata& entry, const QString& path)
{
    SettingsViewModel::RecordingInfo row(entry.date(), entry.transcription, entry.modelUsed, path);
    row.indexedName = entry.filename;
    return row;
}

// Folds the path's stamp into a version of several paths.
quint64 withStamp(quint64 version, const QString& path)
{
    const RecordingsIndexCache::Stamp stamp = RecordingsIndexCache::stampOf(path);
    return qHashMulti(version, stamp.exists, stamp.device, stamp.inode, stamp.size, stamp.modifiedNs, stamp.changedNs);
}

bool newerFirst(const SettingsViewModel::RecordingInfo& a, const SettingsViewModel::RecordingInfo& b)
{
    return a.date > b.date;
}

} // namespace

RecordingsCatalog& RecordingsCatalog::shared()
{
    // Never destroyed, like the store it follows.
    static RecordingsCatalog* const instance = new RecordingsCatalog(RecordingManager::shared());
    return *instance;
}

RecordingsCatalog::RecordingsCatalog(RecordingManager& recordingStore, QObject* parent)
    : QObject(parent), store(recordingStore)
{
    connect(&store, &RecordingManager::recordingsChanged, this, &RecordingsCatalog::storeChanged);
}

QList<RecordingsCatalog::RecordingInfo> RecordingsCatalog::listFolder(
    const QString& folder, const QList<RecordingMetadata>& indexed, Watched* watched)
{
    Watched read;
    if (!QFileInfo(folder).isDir()) {
        if (watched)
            *watched = std::move(read);
        return {};
    }

    // The recordings the tool saved itself, from its index.
    QList<RecordingInfo> rows;
    rows.reserve(indexed.size());
    QSet<QString> indexedPaths;
    indexedPaths.reserve(indexed.size());
    for (const RecordingMetadata& entry : indexed) {
        if (!RecordingsArchive::isPlainFileName(entry.filename))
            continue;
        const QString path = folder + QLatin1Char('/') + entry.filename;
        if (indexedPaths.contains(path) || !isRegularFile(QFileInfo(path)))
            continue;
        indexedPaths.insert(path);
        rows.append(indexedRow(entry, path));
    }

    // Audio files placed there by other means, listed when a text file with
    // the transcription lies beside them. Each stamp is taken before the
    // read, so an edit made meanwhile is seen by the next refresh.
    QDirIterator walk(folder, {QStringLiteral("*.wav")},
        QDir::Files | QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::NoSymLinks,
        QDirIterator::Subdirectories);
    while (walk.hasNext()) {
        const QString path = walk.next();
        const QFileInfo audio = walk.fileInfo();
        if (audio.isDir()) {
            read.paths.append(path);
            read.version = withStamp(read.version, path);
            continue;
        }
        if (indexedPaths.contains(path) || audio.suffix() != QStringLiteral("wav") || !isRegularFile(audio))
            continue;
        const QString textFile = textFileBeside(path);
        read.paths.append(textFile);
        read.version = withStamp(read.version, textFile);
        const std::optional<QString> transcription = readUtf8(textFile);
        if (!transcription)
            continue;
        QDateTime date = audio.birthTime();
        if (!date.isValid())
            date = QDateTime::currentDateTime();
        rows.append(RecordingInfo(date, *transcription, modelFromName(audio.completeBaseName()), path));
    }
    std::stable_sort(rows.begin(), rows.end(), newerFirst);
    if (watched)
        *watched = std::move(read);
    return rows;
}

quint64 RecordingsCatalog::versionOf(const QStringList& paths)
{
    quint64 version = 0;
    for (const QString& path : paths)
        version = withStamp(version, path);
    return version;
}

QString RecordingsCatalog::textFileBeside(const QString& audioPath)
{
    const QFileInfo audio(audioPath);
    return audio.path() + QLatin1Char('/') + audio.completeBaseName() + QStringLiteral(".txt");
}

void RecordingsCatalog::refresh()
{
    if (loading) {
        reloadWanted = true;
        return;
    }
    const QString folder = store.recordingsDirectory();
    // A folder removed by other means lists nothing, whatever was read.
    if (!QFileInfo(folder).isDir()) {
        const bool hadRows = !list.isEmpty();
        list.clear();
        loaded = false;
        if (hadRows)
            emit rowsChanged();
        emit listed();
        return;
    }
    loading = true;
    heldWhileLoading.clear();
    forgottenWhileLoading.clear();
    QPointer<RecordingsCatalog> self(this);
    store.listRecordings(
        [self, folder](const QList<RecordingMetadata>& indexed, quint64 generation, quint64 folderVersion) {
            if (!self)
                return;
            const bool unchanged = self->loaded && generation == self->loadedGeneration && folder == self->loadedFolder
                && folderVersion == self->loadedFolderVersion;
            // Unchanged index and folder, and nothing else was read: the rows
            // are up to date. Files added or removed by other means change
            // the folder's version.
            if (unchanged && self->loadedWatched.paths.isEmpty()) {
                self->finishLoading(self->list, self->loadedWatched, generation, folderVersion);
                return;
            }
            // Otherwise the text files and sub-folders read last time tell
            // whether to read everything again.
            const std::optional<QList<RecordingInfo>> kept = unchanged ? std::optional(self->list) : std::nullopt;
            const Watched watched = self->loadedWatched;
            Dispatch::global(Dispatch::QoS::UserInitiated)
                .async([self, folder, indexed, generation, folderVersion, kept, watched] {
                    QList<RecordingInfo> rows;
                    Watched read = watched;
                    if (kept && versionOf(watched.paths) == watched.version)
                        rows = *kept;
                    else
                        rows = listFolder(folder, indexed, &read);
                    Dispatch::main().async([self, rows = std::move(rows), read = std::move(read), generation,
                                               folderVersion, folder]() mutable {
                        if (!self)
                            return;
                        self->loadedFolder = folder;
                        self->finishLoading(std::move(rows), std::move(read), generation, folderVersion);
                    });
                });
        });
}

void RecordingsCatalog::finishLoading(
    QList<RecordingInfo> rows, Watched read, quint64 generation, quint64 folderVersion)
{
    const bool changed = !loaded || generation != loadedGeneration || rows.constData() != list.constData();
    list = std::move(rows);
    loadedWatched = std::move(read);
    if (!forgottenWhileLoading.isEmpty()) {
        list.removeIf([this](const RecordingInfo& row) { return forgottenWhileLoading.contains(row.filePath); });
        forgottenWhileLoading.clear();
    }
    loadedGeneration = generation;
    loadedFolderVersion = folderVersion;
    loaded = true;
    loading = false;
    // Changes the listing did not see yet, in the order they happened.
    std::deque<Change> held;
    held.swap(heldWhileLoading);
    for (const Change& change : held) {
        if (change.generation > loadedGeneration)
            apply(change);
    }
    if (changed)
        emit rowsChanged();
    emit listed();
    if (reloadWanted) {
        reloadWanted = false;
        refresh();
    }
}

void RecordingsCatalog::storeChanged(
    const QList<RecordingMetadata>& added, const QStringList& removed, quint64 generation, quint64 folderVersion)
{
    const Change change{added, removed, generation, folderVersion};
    if (loading) {
        heldWhileLoading.push_back(change);
        return;
    }
    if (loaded)
        apply(change);
}

void RecordingsCatalog::apply(const Change& change)
{
    // A gap means a change this list never saw: read it again next time.
    if (change.generation != loadedGeneration + 1) {
        loaded = false;
        return;
    }
    loadedGeneration = change.generation;
    loadedFolderVersion = change.folderVersion;
    const QSet<QString> removed(change.removed.cbegin(), change.removed.cend());
    if (!removed.isEmpty())
        list.removeIf(
            [&](const RecordingInfo& row) { return !row.indexedName.isEmpty() && removed.contains(row.indexedName); });
    if (!change.added.isEmpty()) {
        const QString folder = store.recordingsDirectory();
        for (const RecordingMetadata& entry : change.added) {
            if (!RecordingsArchive::isPlainFileName(entry.filename))
                continue;
            const RecordingInfo row = indexedRow(entry, folder + QLatin1Char('/') + entry.filename);
            list.insert(std::upper_bound(list.begin(), list.end(), row, newerFirst), row);
        }
    }
    emit rowsChanged();
}

void RecordingsCatalog::forget(const QStringList& filePaths)
{
    if (filePaths.isEmpty())
        return;
    const QSet<QString> paths(filePaths.cbegin(), filePaths.cend());
    if (loading)
        forgottenWhileLoading.unite(paths);
    if (list.removeIf([&](const RecordingInfo& row) { return paths.contains(row.filePath); }) > 0)
        emit rowsChanged();
}
