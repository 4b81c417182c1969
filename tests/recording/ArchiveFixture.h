#pragma once

#include "recording/RecordingsArchive.h"
#include "support/LogCapture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

// An archive in a temporary folder with a settable clock, free-space figure
// and retention limits.
class ArchiveTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        folder = root.filePath("Recordings");
        RecordingsArchive::Environment environment;
        environment.directory = [this] { return folder; };
        environment.now = [this] { return now; };
        environment.maxStorageSizeMB = [this] { return maxMB; };
        environment.autoDeleteAfterDays = [this] { return days; };
        environment.availableDiskSpace = [this] { return freeBytes; };
        environment.changed = [this](const RecordingsArchive::Change& change) { changes.append(change); };
        archive = std::make_unique<RecordingsArchive>(std::move(environment));
        archive->createRecordingsDirectoryIfNeeded();
    }

    QString pathOf(const QString& name) const { return folder + "/" + name; }
    QString indexPath() const { return pathOf("metadata.json"); }
    double nowTimestamp() const { return RecordingMetadata::timestampFrom(now); }

    void writeFile(const QString& path, const QByteArray& bytes) const
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QByteArray readFile(const QString& path) const
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // A file of `size` bytes; sparse, so hundreds of megabytes cost nothing.
    void writeFileOfSize(const QString& path, int64_t size) const
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_TRUE(file.resize(size));
    }

    // An index entry (and, unless told otherwise, its file) saved `age`
    // seconds before now. The file has the size the entry claims where that
    // is a size a file can have.
    RecordingMetadata entry(const QString& name, double age, int64_t size, bool withFile = true) const
    {
        RecordingMetadata metadata;
        metadata.filename = name;
        metadata.timestamp = nowTimestamp() - age;
        metadata.duration = 1.0;
        metadata.sampleRate = 16000;
        metadata.transcription = name;
        metadata.modelUsed = "unknown";
        metadata.fileSize = size;
        if (withFile && RecordingsArchive::isPlainFileName(name)) {
            if (size >= 0 && size <= int64_t(1) << 32)
                writeFileOfSize(pathOf(name), size);
            else
                writeFile(pathOf(name), "audio");
        }
        return metadata;
    }
    void writeIndex(const QList<RecordingMetadata>& entries) const
    {
        writeFile(indexPath(), RecordingsIndexCodec::encode(entries));
    }
    QStringList indexNames() const
    {
        QStringList names;
        for (const RecordingMetadata& metadata : RecordingsIndex::load(indexPath()).entries)
            names << metadata.filename;
        return names;
    }
    // The index entries whose files are there: what the Recordings list
    // shows, and what "Clear All" asks to delete.
    QStringList listedNames() const
    {
        QStringList names;
        for (const QString& name : indexNames()) {
            if (RecordingsArchive::isPlainFileName(name) && QFileInfo(pathOf(name)).isFile())
                names << name;
        }
        return names;
    }
    QStringList asideCopies() const { return QDir(folder).entryList({"metadata.json.unreadable-*"}, QDir::Files); }

    QTemporaryDir root;
    QString folder;
    QDateTime now{QDate(2026, 3, 7), QTime(14, 5, 9, 42), QTimeZone::utc()};
    int64_t maxMB = 500;
    int64_t days = 30;
    std::optional<int64_t> freeBytes;
    std::unique_ptr<RecordingsArchive> archive;
    QList<RecordingsArchive::Change> changes; // as the archive reported them
    LogCapture log;
};
