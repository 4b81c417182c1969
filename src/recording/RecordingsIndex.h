#pragma once

#include "recording/RecordingMetadata.h"

#include <QDateTime>
#include <QList>
#include <QString>

// The index file on disk: reading it, replacing it atomically, and keeping
// an unreadable one aside so that no rewrite ever destroys it.
namespace RecordingsIndex {

inline const QString fileName = QStringLiteral("metadata.json");

struct Contents {
    QList<RecordingMetadata> entries; // file order; empty unless the file was read
    bool unreadable = false; // the file exists but could not be read or decoded
    QString error; // why, when unreadable
};

Contents load(const QString& path);

// Replaces the file through a temporary file in the same folder, so a crash
// mid-write leaves the previous index whole.
bool write(const QString& path, const QList<RecordingMetadata>& entries, QString& error);
// The same, for an index already encoded.
bool writeBytes(const QString& path, const QByteArray& bytes, QString& error);

} // namespace RecordingsIndex
