#include "ArchiveFixture.h"

#include <QSet>

#include <algorithm>
#include <limits>

namespace {

constexpr double day = 24 * 60 * 60;

QStringList sorted(QStringList names)
{
    names.sort();
    return names;
}

} // namespace

TEST(RecordingsIndexCodec, RecordsEncodedOneByOneJoinToTheWholeEncoding)
{
    QList<RecordingMetadata> entries;
    EXPECT_EQ(RecordingsIndexCodec::joinRecords({}), RecordingsIndexCodec::encode(entries));

    RecordingMetadata plain;
    plain.filename = "recording_2026-03-07_14-05-09-042.wav";
    plain.timestamp = 794585109.042;
    plain.duration = 2.4;
    plain.sampleRate = 16000;
    plain.transcription = "Hello, world.";
    plain.modelUsed = "large-v3-turbo-q5_0";
    plain.fileSize = 153658;
    RecordingMetadata awkward;
    awkward.filename = QString::fromUtf8("caf\xc3\xa9 \"quoted\" \\ slash.wav");
    awkward.timestamp = -1e-7;
    awkward.duration = 1e300;
    awkward.sampleRate = 44100.5;
    awkward.transcription =
        QString::fromUtf8("tab\there\nnew line \x01 control, emoji \xf0\x9f\x8e\xa4, ") + QChar(0xd800);
    awkward.modelUsed = "";
    awkward.fileSize = std::numeric_limits<int64_t>::max();
    entries = {plain, awkward, plain};

    QList<QByteArray> records;
    for (const RecordingMetadata& entry : entries)
        records.append(RecordingsIndexCodec::encodeRecord(entry));
    const QByteArray joined = RecordingsIndexCodec::joinRecords(records);
    EXPECT_EQ(joined, RecordingsIndexCodec::encode(entries));
    EXPECT_EQ(RecordingsIndexCodec::decode(joined).entries.value_or(QList<RecordingMetadata>{}).size(), 3);
}

TEST_F(ArchiveTest, AnIndexReplacedByOtherMeansIsReadAgainBeforeTheNextChange)
{
    archive->saveRecording(std::vector<float>(160, 0.1f), 16000, "first", "m");
    ASSERT_EQ(indexNames().size(), 1);

    // Another program rewrites the index in place, then a second one
    // replaces it through a rename: each time the archive builds on what
    // is on disk, not on what it kept.
    writeIndex({entry("kept.wav", 10, 1)});
    archive->saveRecording(std::vector<float>(160, 0.1f), 16000, "second", "m");
    ASSERT_EQ(indexNames().size(), 2);
    EXPECT_EQ(indexNames().first(), "kept.wav");

    QFile::remove(indexPath());
    writeIndex({entry("other.wav", 10, 1), entry("another.wav", 20, 1)});
    archive->deleteRecording("other.wav");
    EXPECT_EQ(indexNames(), QStringList{"another.wav"});
    EXPECT_EQ(archive->getRecordings().size(), 1);
}

TEST_F(ArchiveTest, EveryWriteIsReportedOnceWithConsecutiveGenerations)
{
    writeIndex({entry("old.wav", 40 * day, 1), entry("a.wav", 20, 1), entry("b.wav", 10, 1)});
    archive->saveRecording(std::vector<float>(160, 0.1f), 16000, "new", "m"); // the age rule drops old.wav
    archive->deleteRecordings({"a.wav", "b.wav", "gone-already.wav"});
    archive->deleteAllRecordings();

    ASSERT_EQ(changes.size(), 4);
    ASSERT_EQ(changes.at(0).added.size(), 1);
    EXPECT_EQ(changes.at(0).added.first().transcription, "new");
    EXPECT_EQ(changes.at(1).removed, QStringList{"old.wav"});
    EXPECT_EQ(sorted(changes.at(2).removed), (QStringList{"a.wav", "b.wav", "gone-already.wav"}));
    EXPECT_EQ(changes.at(3).removed.size(), 1);
    for (qsizetype i = 1; i < changes.size(); ++i)
        EXPECT_EQ(changes.at(i).generation, changes.at(i - 1).generation + 1);
}

TEST_F(ArchiveTest, ABatchDeleteWritesOnceAndKeepsTheEntriesOfFilesThatStay)
{
    writeIndex({entry("a.wav", 30, 1), entry("stuck.wav", 20, 1, false), entry("b.wav", 10, 1)});
    QDir(folder).mkdir("stuck.wav"); // a folder: never removed

    const QStringList removed = archive->deleteRecordings({"a.wav", "stuck.wav", "b.wav", "a.wav"});
    EXPECT_EQ(sorted(removed), (QStringList{"a.wav", "b.wav"}));
    EXPECT_EQ(indexNames(), QStringList{"stuck.wav"});
    EXPECT_EQ(changes.size(), 1);

    // Nothing removable: the index is left as it is.
    const QByteArray before = readFile(indexPath());
    EXPECT_TRUE(archive->deleteRecordings({"stuck.wav"}).isEmpty());
    EXPECT_EQ(readFile(indexPath()), before);
    EXPECT_EQ(changes.size(), 1);
}

TEST_F(ArchiveTest, RepeatedSavesStayWithinTheSizeLimitAndFollowRemovalsByOtherMeans)
{
    maxMB = 1;
    const std::vector<float> quarterMegabyte(65536, 0.1f);
    for (int i = 0; i < 9; ++i) {
        now = now.addSecs(1);
        archive->saveRecording(quarterMegabyte, 16000, QString::number(i), "m");
        int64_t onDisk = 0;
        for (const QFileInfo& file : QDir(folder).entryInfoList({"*.wav"}, QDir::Files))
            onDisk += file.size();
        EXPECT_LE(onDisk, int64_t{1024} * 1024) << "after save " << i;
        EXPECT_EQ(QDir(folder).entryList({"*.wav"}, QDir::Files).size(), indexNames().size());
    }
    // The newest three fit; the oldest went first.
    ASSERT_EQ(indexNames().size(), 3);
    EXPECT_EQ(archive->getRecordings().first().transcription, "8");
    EXPECT_EQ(archive->getRecordings().last().transcription, "6");

    // A recording deleted by the user frees its room: the next save keeps
    // the other two.
    archive->deleteRecording(archive->getRecordings().first().filename);
    now = now.addSecs(1);
    archive->saveRecording(quarterMegabyte, 16000, "9", "m");
    EXPECT_EQ(indexNames().size(), 3);

    // So does one deleted in the file manager, whatever the archive counted
    // before: the newest two go by hand, and the next save keeps the oldest.
    const QList<RecordingMetadata> saved = archive->getRecordings();
    ASSERT_TRUE(QFile::remove(pathOf(saved.at(0).filename)));
    ASSERT_TRUE(QFile::remove(pathOf(saved.at(1).filename)));
    const qsizetype linesBefore = log.outLines().size();
    now = now.addSecs(1);
    archive->saveRecording(quarterMegabyte, 16000, "10", "m");
    EXPECT_TRUE(QFile::exists(pathOf(saved.at(2).filename)));
    EXPECT_EQ(log.outLines().size(), linesBefore) << log.outLines().join('\n').toStdString();
}
