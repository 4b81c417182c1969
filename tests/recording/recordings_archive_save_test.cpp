#include "ArchiveFixture.h"

#include <vector>

namespace {
const std::vector<float> oneSecond(16000, 0.1f);
constexpr int64_t oneSecondFileSize = 58 + 16000 * 4;
} // namespace

TEST_F(ArchiveTest, SaveWritesTheFileAndAppendsOneIndexEntry)
{
    archive->saveRecording(oneSecond, 16000, "hello world", "unknown");
    archive->saveRecording({}, 16000, "", "tiny");

    const QString expectedName = "recording_" + now.toLocalTime().toString("yyyy-MM-dd_HH-mm-ss-zzz") + ".wav";
    const QList<RecordingMetadata> entries = RecordingsIndex::load(indexPath()).entries;
    ASSERT_EQ(entries.size(), 2);
    const RecordingMetadata& first = entries.at(0);
    EXPECT_EQ(first.filename, expectedName);
    EXPECT_EQ(first.timestamp, nowTimestamp());
    EXPECT_EQ(first.duration, 1.0);
    EXPECT_EQ(first.sampleRate, 16000.0);
    EXPECT_EQ(first.transcription, "hello world");
    EXPECT_EQ(first.modelUsed, "unknown");
    EXPECT_EQ(first.fileSize, oneSecondFileSize);
    EXPECT_EQ(QFileInfo(pathOf(expectedName)).size(), oneSecondFileSize);

    // Same millisecond: a second file, never an overwrite.
    const RecordingMetadata& second = entries.at(1);
    EXPECT_NE(second.filename, first.filename);
    EXPECT_TRUE(second.filename.startsWith("recording_") && second.filename.endsWith(".wav"));
    EXPECT_EQ(second.transcription, "");
    EXPECT_EQ(second.duration, 0.0);
    EXPECT_EQ(QFileInfo(pathOf(first.filename)).size(), oneSecondFileSize);
    EXPECT_TRUE(log.outLines().isEmpty()) << log.outLines().join("\n").toStdString();
}

TEST_F(ArchiveTest, FreeSpaceMustCoverTheSamplesPlusTenMebibytes)
{
    const int64_t required = 16000 * 4 + 10485760;

    freeBytes = required - 1;
    archive->saveRecording(oneSecond, 16000, "a", "m");
    EXPECT_TRUE(log.hasOutLine(QString("RecordingManager: Insufficient disk space. Available: %1, Required: %2")
                                   .arg(required - 1)
                                   .arg(required)));
    EXPECT_EQ(QDir(folder).entryList(QDir::Files).size(), 0);

    freeBytes = required;
    archive->saveRecording(oneSecond, 16000, "b", "m");
    freeBytes = std::nullopt; // unknown: saved without the check
    now = now.addSecs(1);
    archive->saveRecording(oneSecond, 16000, "c", "m");
    EXPECT_EQ(indexNames().size(), 2);
}

TEST_F(ArchiveTest, FailedWaveWriteLeavesNoIndexEntry)
{
    archive->saveRecording(oneSecond, 0.0, "bad rate", "m");
    EXPECT_EQ(log.outLines().size(), 1);
    EXPECT_TRUE(log.outLines().value(0).startsWith("Failed to write WAV file: "));
    EXPECT_FALSE(QFile::exists(indexPath()));
    EXPECT_TRUE(QDir(folder).entryList(QDir::Files).isEmpty());
}

TEST_F(ArchiveTest, RemovedFolderReportsFreeSpaceAndWriteFailures)
{
    // The real free-space query, against a folder that is gone.
    RecordingsArchive::Environment environment;
    environment.directory = [this] { return folder; };
    environment.maxStorageSizeMB = [] { return int64_t{500}; };
    environment.autoDeleteAfterDays = [] { return int64_t{30}; };
    RecordingsArchive real(std::move(environment));
    EXPECT_TRUE(real.getAvailableDiskSpace().has_value());
    log.outLines();

    ASSERT_TRUE(QDir(folder).removeRecursively());
    real.saveRecording(oneSecond, 16000, "x", "m");
    const QStringList lines = log.outLines();
    ASSERT_EQ(lines.size(), 2) << lines.join("\n").toStdString();
    EXPECT_TRUE(lines.at(0).startsWith("RecordingManager: Error checking disk space: "));
    EXPECT_TRUE(lines.at(1).startsWith("Failed to write WAV file: "));
    EXPECT_FALSE(QFileInfo::exists(folder));
}

TEST_F(ArchiveTest, SaveKeepsAnUnreadableIndexAsideInsteadOfOverwritingIt)
{
    for (const QByteArray& broken : {QByteArray("[{\"filename\":\"old.wav\""), QByteArray("not json"), QByteArray()}) {
        writeFile(indexPath(), broken);
        const int before = asideCopies().size();
        now = now.addMSecs(1);
        archive->saveRecording(oneSecond, 16000, "new", "m");

        EXPECT_EQ(indexNames().size(), 1);
        const QStringList aside = asideCopies();
        ASSERT_EQ(aside.size(), before + 1);
        bool kept = false;
        for (const QString& name : aside)
            kept = kept || readFile(pathOf(name)) == broken;
        EXPECT_TRUE(kept) << broken.toStdString();
        EXPECT_TRUE(log.outLines().filter("Failed to load metadata: ").size() >= 1);
        QFile::remove(indexPath());
    }
}

TEST_F(ArchiveTest, FolderCreationFailureIsReportedAndTheArchiveStaysUsable)
{
    writeFile(root.filePath("blocked"), "a file where the folder should be");
    folder = root.filePath("blocked/Recordings");
    archive->createRecordingsDirectoryIfNeeded();
    ASSERT_EQ(log.outLines().size(), 1);
    EXPECT_TRUE(log.outLines().at(0).startsWith("Failed to create recordings directory: "));

    folder = root.filePath("later/Recordings");
    archive->createRecordingsDirectoryIfNeeded();
    archive->createRecordingsDirectoryIfNeeded(); // existing folder: no error
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_EQ(log.outLines().size(), 1);
}
