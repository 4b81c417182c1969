#include "ArchiveFixture.h"

#include <QFileInfo>

namespace {
constexpr double day = 24 * 60 * 60;
constexpr int64_t MB = 1024 * 1024;
} // namespace

TEST_F(ArchiveTest, AgeRuleRemovesOnlyEntriesStrictlyBeforeTheCutOff)
{
    writeIndex({entry("minute.wav", 60, 1), entry("older.wav", 30 * day + 1, 1), entry("edge.wav", 30 * day, 1),
        entry("gone.wav", 40 * day, 1, false)});
    archive->performMaintenance();

    EXPECT_EQ(indexNames(), (QStringList{"minute.wav", "edge.wav"}));
    EXPECT_FALSE(QFile::exists(pathOf("older.wav")));
    EXPECT_TRUE(QFile::exists(pathOf("edge.wav")));
    EXPECT_EQ(log.outLines(), QStringList{"Retention removed older.wav: older than 30 days"});

    days = 1;
    archive->deleteOldRecordings();
    EXPECT_EQ(indexNames(), QStringList{"minute.wav"});
}

TEST_F(ArchiveTest, RulesWithNothingToDoLeaveTheIndexUntouched)
{
    // Deliberately not oldest-first: a rewrite would reorder it.
    writeIndex({entry("b.wav", 10, 200 * MB), entry("a.wav", 20, 300 * MB)});
    const QByteArray before = readFile(indexPath());
    const QDateTime modified = QFileInfo(indexPath()).lastModified();

    archive->performMaintenance(); // 500 MB exactly: nothing to remove
    EXPECT_EQ(readFile(indexPath()), before);
    EXPECT_EQ(QFileInfo(indexPath()).lastModified(), modified);
    EXPECT_TRUE(QFile::exists(pathOf("a.wav")));
}

TEST_F(ArchiveTest, SizeRuleRemovesOldestUntilAtOrUnderTheLimitAndWritesOldestFirst)
{
    writeIndex({entry("new.wav", 10, 200 * MB), entry("old.wav", 30, 1), entry("mid.wav", 20, 300 * MB)});
    archive->enforceStorageLimit(); // one byte over

    EXPECT_FALSE(QFile::exists(pathOf("old.wav")));
    EXPECT_TRUE(QFile::exists(pathOf("mid.wav")));
    EXPECT_EQ(indexNames(), (QStringList{"mid.wav", "new.wav"}));

    maxMB = 250;
    archive->enforceStorageLimit();
    EXPECT_EQ(indexNames(), QStringList{"new.wav"});
}

// The size rule adds what the files take: an entry whose file is gone, or
// whose recorded size is stale, must not push the real recordings out (the
// one just saved included).
TEST_F(ArchiveTest, SizeRuleCountsWhatIsOnDiskNotWhatTheIndexClaims)
{
    maxMB = 2;
    RecordingMetadata understated = entry("old.wav", 30, 1, false);
    writeFileOfSize(pathOf("old.wav"), MB + MB / 2);
    writeIndex({understated, entry("mid.wav", 20, MB / 2), entry("ghost.wav", -3600, 600 * MB, false)});
    archive->performMaintenance(); // exactly 2 MB on disk
    EXPECT_EQ(indexNames(), (QStringList{"old.wav", "mid.wav", "ghost.wav"}));
    EXPECT_TRUE(log.outLines().isEmpty());

    archive->saveRecording(std::vector<float>(1000, 0.25f), 16000, "new", "tiny");
    EXPECT_FALSE(QFile::exists(pathOf("old.wav")));
    EXPECT_TRUE(QFile::exists(pathOf("mid.wav")));
    const QStringList names = indexNames();
    ASSERT_EQ(names.size(), 3);
    EXPECT_EQ(names.at(0), "mid.wav");
    EXPECT_TRUE(names.at(1).startsWith("recording_"));
    EXPECT_TRUE(QFile::exists(pathOf(names.at(1))));
    EXPECT_EQ(names.at(2), "ghost.wav");
    ASSERT_EQ(log.outLines().size(), 1);
    EXPECT_TRUE(log.outLines().front().startsWith(
        QStringLiteral("Retention removed old.wav: recordings take %1 bytes, over the limit of %2 bytes")
            .arg(2 * MB + QFileInfo(pathOf(names.at(1))).size())
            .arg(2 * MB)));
}

TEST_F(ArchiveTest, SizeRuleWithOnlyFailedRemovalsWritesNothing)
{
    maxMB = 1;
    writeIndex({entry("../outside.wav", 30, MB), entry("", 20, MB), entry("..", 10, MB)});
    const QByteArray before = readFile(indexPath());
    archive->enforceStorageLimit();
    EXPECT_EQ(readFile(indexPath()), before);
}

TEST_F(ArchiveTest, HostileNamesNeverReachOutsideTheFolder)
{
    const QString outside = root.filePath("outside.wav");
    const QString sibling = root.filePath("victim");
    writeFile(outside, "not a recording");
    QDir(root.path()).mkpath("victim");
    writeFile(sibling + "/x.wav", "not a recording");
    QDir(folder).mkdir("sub");
    QFile::link(outside, pathOf("link.wav"));

    writeIndex({entry("../outside.wav", 40 * day, 1), entry(outside, 40 * day, 1), entry("../victim", 40 * day, 1),
        entry(".", 40 * day, 1), entry("sub", 40 * day, 1, false), entry("../victim/x.wav", 1, 600 * MB),
        entry(QString("link.wav"), 2, 1, false), entry("real.wav", 3, 1)});
    archive->performMaintenance();
    archive->deleteRecording("../outside.wav");
    archive->deleteRecording(outside);
    archive->deleteAllRecordings();

    EXPECT_EQ(readFile(outside), "not a recording");
    EXPECT_EQ(readFile(sibling + "/x.wav"), "not a recording");
    EXPECT_TRUE(QFileInfo(folder + "/sub").isDir());
    EXPECT_FALSE(QFileInfo(pathOf("link.wav")).isSymLink()); // the link went, its target stayed
    EXPECT_FALSE(QFile::exists(pathOf("real.wav")));
    EXPECT_FALSE(QFile::exists(indexPath()));
}

TEST_F(ArchiveTest, HugeLimitsAndSizesDoNotOverflow)
{
    constexpr int64_t most = std::numeric_limits<int64_t>::max();
    maxMB = most;
    days = most;
    writeIndex(
        {entry("a.wav", 10, most), entry("b.wav", 5, most), entry("c.wav", 1, std::numeric_limits<int64_t>::min())});
    archive->performMaintenance();
    EXPECT_EQ(indexNames().size(), 3);
    (void)archive->getTotalStorageUsed();

    // Sizes the index claims but no file has remove nothing.
    maxMB = 1;
    writeIndex({entry("a.wav", 10, most), entry("b.wav", 5, most), entry("c.wav", 1, 1)});
    archive->performMaintenance();
    EXPECT_TRUE(QFile::exists(pathOf("a.wav")));
    EXPECT_EQ(indexNames(), (QStringList{"a.wav", "b.wav", "c.wav"}));
}
