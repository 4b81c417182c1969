#include "ArchiveFixture.h"

#include "recording/WavFile.h"

#include <QFileInfo>

#include <vector>

namespace {

void writeRecording(const QString& path, size_t samples, double rate)
{
    QString error;
    ASSERT_TRUE(WavFile::write(path, std::vector<float>(samples, 0.5f), rate, error)) << error.toStdString();
}

} // namespace

// A crash between the audio and the index write leaves a recording no
// entry names: it joins the index so retention counts and removes it.
TEST_F(ArchiveTest, RecordingsNoEntryNamesJoinTheIndex)
{
    writeIndex({entry("recording_listed.wav", 60, 5)});
    writeRecording(pathOf("recording_2026-03-01_10-20-30-123.wav"), 8000, 16000);
    writeRecording(pathOf("recording_2026-03-01_10-20-30-123_2.wav"), 4410, 44100);
    writeFile(pathOf("recording_unnamed.wav"), "not a wave file");
    const QDateTime modified(QDate(2026, 2, 1), QTime(8, 0), QTimeZone::utc());
    {
        QFile file(pathOf("recording_unnamed.wav"));
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(modified, QFileDevice::FileModificationTime));
    }
    writeFile(pathOf("other.wav"), "not ours");
    QDir(folder).mkdir("recording_folder.wav");

    archive->checkIndexAtStart();

    const QList<RecordingMetadata> entries = RecordingsIndex::load(indexPath()).entries;
    ASSERT_EQ(entries.size(), 4);
    EXPECT_EQ(entries[0].filename, "recording_listed.wav");
    EXPECT_EQ(entries[0].transcription, "recording_listed.wav");

    const RecordingMetadata& named = entries[1];
    EXPECT_EQ(named.filename, "recording_2026-03-01_10-20-30-123.wav");
    EXPECT_DOUBLE_EQ(
        named.timestamp, RecordingMetadata::timestampFrom(QDateTime(QDate(2026, 3, 1), QTime(10, 20, 30, 123))));
    EXPECT_DOUBLE_EQ(named.duration, 0.5);
    EXPECT_DOUBLE_EQ(named.sampleRate, 16000);
    EXPECT_EQ(named.transcription, "");
    EXPECT_EQ(named.fileSize, WavFile::headerSize + 8000 * 4);

    EXPECT_EQ(entries[2].filename, "recording_2026-03-01_10-20-30-123_2.wav");
    EXPECT_DOUBLE_EQ(entries[2].timestamp, named.timestamp);
    EXPECT_DOUBLE_EQ(entries[2].duration, 0.1);
    EXPECT_DOUBLE_EQ(entries[2].sampleRate, 44100);

    EXPECT_EQ(entries[3].filename, "recording_unnamed.wav");
    EXPECT_DOUBLE_EQ(entries[3].timestamp, RecordingMetadata::timestampFrom(modified));
    EXPECT_DOUBLE_EQ(entries[3].duration, 0);
    EXPECT_EQ(entries[3].fileSize, 15);
    EXPECT_EQ(log.outLines().size(), 3);

    // A second pass finds nothing new and leaves the index alone.
    const QByteArray before = readFile(indexPath());
    archive->checkIndexAtStart();
    EXPECT_EQ(readFile(indexPath()), before);
}

TEST_F(ArchiveTest, UnlistedRecordingsAreNotAddedOverAnUnreadableIndex)
{
    writeFile(indexPath(), "{ not json");
    writeRecording(pathOf("recording_2026-03-01_10-20-30-123.wav"), 160, 16000);
    archive->checkIndexAtStart();
    EXPECT_EQ(readFile(indexPath()), "{ not json");
    EXPECT_TRUE(asideCopies().isEmpty());

    // With no index at all they make a new one.
    QFile::remove(indexPath());
    archive->checkIndexAtStart();
    EXPECT_EQ(indexNames(), QStringList{"recording_2026-03-01_10-20-30-123.wav"});
}
