#pragma once

#include "recording/RecordingMetadata.h"
#include "settings/SettingsViewModel.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QUuid>

#include <deque>

class RecordingManager;

// The saved recordings as the Recordings tab lists them, kept for the whole
// process: read off the GUI thread at most once per change of the index,
// then updated from the store's change reports, so opening Settings again
// neither reads the folder nor copies the list. Main thread only.
class RecordingsCatalog : public QObject {
    Q_OBJECT
public:
    using RecordingInfo = SettingsViewModel::RecordingInfo;

    static RecordingsCatalog& shared();
    explicit RecordingsCatalog(RecordingManager& store, QObject* parent = nullptr);

    const QList<RecordingInfo>& rows() const { return list; }
    bool isLoaded() const { return loaded; }
    bool isLoading() const { return loading; }

    // Reads the list again when the index changed since it was read (or by
    // means the store did not report); otherwise nothing.
    void refresh();
    // Rows whose files were removed without the store (files listed only
    // because a text file lies beside them), by audio file path; a listing
    // under way drops them too.
    void forget(const QStringList& filePaths);

    // What a listing read besides the index and the folder: the text files
    // of unindexed audio files and the sub-folders walked. An edit in place
    // or a change inside a sub-folder shows only in their own stamps.
    struct Watched {
        QStringList paths;
        quint64 version = 0;
    };
    // Builds the rows for a folder from the index's entries (newest first)
    // plus the unindexed audio files that have a text file beside them, and
    // tells what else it read. Reads the disk: for a worker thread.
    static QList<RecordingInfo> listFolder(
        const QString& folder, const QList<RecordingMetadata>& indexed, Watched* watched = nullptr);
    // The version of those paths now. Reads the disk: for a worker thread.
    static quint64 versionOf(const QStringList& paths);
    // "<folder>/<name>.txt" for "<folder>/<name>.wav".
    static QString textFileBeside(const QString& audioPath);

signals:
    void rowsChanged();
    // A refresh ended: the rows are what the folder holds (an empty list
    // means no recordings, not "not read yet").
    void listed();

private:
    struct Change {
        QList<RecordingMetadata> added;
        QStringList removed;
        quint64 generation = 0;
        quint64 folderVersion = 0;
    };
    void storeChanged(
        const QList<RecordingMetadata>& added, const QStringList& removed, quint64 generation, quint64 folderVersion);
    void finishLoading(QList<RecordingInfo> rows, Watched read, quint64 generation, quint64 folderVersion);
    void apply(const Change& change);

    RecordingManager& store;
    QList<RecordingInfo> list;
    bool loaded = false;
    bool loading = false;
    bool reloadWanted = false;
    quint64 loadedGeneration = 0;
    QString loadedFolder;
    quint64 loadedFolderVersion = 0;
    Watched loadedWatched;
    std::deque<Change> heldWhileLoading;
    QSet<QString> forgottenWhileLoading;
};
