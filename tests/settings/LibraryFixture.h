#pragma once

#include "recording/RecordingManager.h"
#include "recording/RecordingMetadata.h"
#include "support/SettingsReset.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

// An empty defaults store and an empty recordings folder for every test.
class SettingsFixture : public DefaultsTest {
protected:
    void SetUp() override
    {
        DefaultsTest::SetUp();
        folder = RecordingManager::shared().recordingsDirectory();
        // The manager looks for recordings missing from its index once, as it
        // starts; that look must not meet the files a test is writing.
        RecordingManager::shared().waitForPendingWork();
        QDir(folder).removeRecursively();
        QDir().mkpath(folder);
    }
    void TearDown() override
    {
        QDir(folder).removeRecursively();
        DefaultsTest::TearDown();
    }

    QString pathOf(const QString& name) const { return folder + QLatin1Char('/') + name; }

    static void writeFile(const QString& path, const QByteArray& bytes)
    {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    static RecordingMetadata entry(const QString& name, const QDateTime& when, const QString& text,
        const QString& model = QStringLiteral("large-v3-turbo-q5_0"))
    {
        RecordingMetadata metadata;
        metadata.filename = name;
        metadata.timestamp = RecordingMetadata::timestampFrom(when);
        metadata.duration = 1.0;
        metadata.sampleRate = 16000.0;
        metadata.transcription = text;
        metadata.modelUsed = model;
        metadata.fileSize = 4;
        return metadata;
    }

    // Writes the index and a small file for each entry.
    void writeIndexed(const QList<RecordingMetadata>& entries)
    {
        for (const RecordingMetadata& metadata : entries)
            writeFile(pathOf(metadata.filename), "RIFF");
        writeFile(pathOf(QStringLiteral("metadata.json")), RecordingsIndexCodec::encode(entries));
    }

    QStringList indexNames() const
    {
        QFile file(folder + QStringLiteral("/metadata.json"));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        const RecordingsIndexCodec::Decoded decoded = RecordingsIndexCodec::decode(file.readAll());
        QStringList names;
        for (const RecordingMetadata& metadata : decoded.entries.value_or(QList<RecordingMetadata>{}))
            names.append(metadata.filename);
        return names;
    }

    QString folder;
};
