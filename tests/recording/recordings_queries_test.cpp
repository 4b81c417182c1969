#include "ArchiveFixture.h"

TEST_F(ArchiveTest, RecordingsAreListedNewestFirstAndEqualTimesKeepIndexOrder)
{
    EXPECT_TRUE(archive->getRecordings().isEmpty());
    EXPECT_EQ(archive->getTotalStorageUsed(), 0);

    writeIndex(
        {entry("t1.wav", 30, 1), entry("t3.wav", 10, 20), entry("t2.wav", 20, 300, false), entry("t3b.wav", 10, 4000)});
    QStringList names;
    for (const RecordingMetadata& metadata : archive->getRecordings())
        names << metadata.filename;
    EXPECT_EQ(names, (QStringList{"t3.wav", "t3b.wav", "t2.wav", "t1.wav"}));
    EXPECT_EQ(archive->getTotalStorageUsed(), 4321); // the missing file's size counts too
}

TEST_F(ArchiveTest, DeleteRecordingRemovesTheFileAndEveryEntryOfThatName)
{
    writeIndex({entry("a.wav", 30, 1), entry("b.wav", 20, 1), entry("a.wav", 10, 1)});
    archive->deleteRecording("a.wav");
    EXPECT_FALSE(QFile::exists(pathOf("a.wav")));
    EXPECT_EQ(indexNames(), QStringList{"b.wav"});

    // An unknown name still rewrites the index, unchanged.
    QFile::remove(indexPath());
    writeIndex({entry("b.wav", 20, 1)});
    const QByteArray before = readFile(indexPath());
    archive->deleteRecording("nope.wav");
    EXPECT_EQ(readFile(indexPath()), before);
    EXPECT_TRUE(log.outLines().isEmpty());

    // Only the name asked for goes, not the entry of a file removed by hand.
    writeIndex({entry("old.wav", 30, 1), entry("mid.wav", 20, 1), entry("new.wav", 10, 1)});
    ASSERT_TRUE(QFile::remove(pathOf("old.wav")));
    archive->deleteRecording("new.wav");
    EXPECT_EQ(indexNames(), (QStringList{"old.wav", "mid.wav"}));
}

TEST_F(ArchiveTest, DeleteRecordingWithAnUnreadableIndexKeepsItAside)
{
    writeIndex({entry("a.wav", 30, 1)});
    const QByteArray truncated = readFile(indexPath()).chopped(3);
    writeFile(indexPath(), truncated);
    archive->deleteRecording("a.wav");

    EXPECT_FALSE(QFile::exists(pathOf("a.wav")));
    ASSERT_EQ(asideCopies().size(), 1);
    EXPECT_EQ(readFile(pathOf(asideCopies().at(0))), truncated);
    EXPECT_TRUE(indexNames().isEmpty());
    EXPECT_TRUE(log.outLines().value(0).startsWith("Failed to load metadata: "));
}

TEST_F(ArchiveTest, DeleteAllRemovesIndexedFilesAndTheIndexOnly)
{
    writeIndex({entry("a.wav", 30, 1), entry("b.wav", 20, 1)});
    writeFile(pathOf("stranger.wav"), "not indexed");
    archive->deleteAllRecordings();

    EXPECT_EQ(QDir(folder).entryList(QDir::Files), QStringList{"stranger.wav"});
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_TRUE(archive->getRecordings().isEmpty());
    EXPECT_TRUE(log.outLines().isEmpty());

    writeFile(indexPath(), "{broken");
    archive->deleteAllRecordings();
    EXPECT_FALSE(QFile::exists(indexPath()));
    ASSERT_EQ(asideCopies().size(), 1);
    EXPECT_EQ(readFile(pathOf(asideCopies().at(0))), "{broken");
}

// "Clear All" also forgets the entries of files removed by hand, which no
// row shows, but never one whose file is there (below a sub-folder, say).
TEST_F(ArchiveTest, ClearingEveryListedRecordingAlsoDropsEntriesOfFilesRemovedByHand)
{
    ASSERT_TRUE(QDir(folder).mkdir("kept"));
    writeFile(pathOf("kept/e.wav"), "audio");
    writeIndex({entry("a.wav", 40, 1), entry("b.wav", 30, 1), entry("c.wav", 20, 1), entry("d.wav", 10, 1),
        entry("kept/e.wav", 5, 5)});
    archive->checkIndexAtStart();
    ASSERT_TRUE(QFile::remove(pathOf("b.wav")));
    ASSERT_TRUE(QFile::remove(pathOf("d.wav")));

    const QStringList listed = listedNames();
    ASSERT_EQ(listed, (QStringList{"a.wav", "c.wav"}));
    // Only the names asked for come back: the caller tidies up beside those.
    QStringList removed = archive->clearRecordings(listed);
    removed.sort();
    EXPECT_EQ(removed, listed);
    EXPECT_EQ(indexNames(), QStringList{"kept/e.wav"});
    ASSERT_FALSE(changes.isEmpty());
    QStringList announced = changes.last().removed;
    announced.sort();
    EXPECT_EQ(announced, (QStringList{"a.wav", "b.wav", "c.wav", "d.wav"}));
}
