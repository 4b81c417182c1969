#include "downloads/ModelDownloadProgress.h"
#include "downloads/PartFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(ModelDownloadProgressTest, FractionAndPercentageNeverMisbehave)
{
    EXPECT_EQ((ModelDownloadProgress{999, 1000}).progressPercentage(), 99);
    // A floating-point product would truncate 29 % to 28.
    EXPECT_EQ((ModelDownloadProgress{29, 100}).progressPercentage(), 29);
    EXPECT_EQ((ModelDownloadProgress{1500, 1000}).progressPercentage(), 150);
    for (qint64 total : {qint64(0), qint64(-1)}) {
        const ModelDownloadProgress unknown{12345, total};
        EXPECT_EQ(unknown.progress(), 0.0);
        EXPECT_EQ(unknown.progressPercentage(), 0);
    }
    EXPECT_DOUBLE_EQ((ModelDownloadProgress{1, 4}).progress(), 0.25);
}

TEST(ModelDownloadProgressTest, ByteCountsUseBinaryUnits)
{
    const ModelDownloadProgress value{1536 * 1024, 3LL * 1024 * 1024 * 1024};
    EXPECT_EQ(value.formattedBytesWritten(), QStringLiteral("1.5 MB"));
    EXPECT_EQ(value.formattedTotalBytes(), QStringLiteral("3.0 GB"));
}

TEST(PartFilesTest, ReplacingKeepsTheOldFileUntilTheNewOneIsInPlace)
{
    QTemporaryDir folder;
    const QString destination = folder.filePath("ggml-large-v3.bin");
    const auto write = [](const QString& path, const QByteArray& bytes) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    };
    write(destination, "old");
    const QString part = PartFiles::newPartFilePath(destination);
    EXPECT_TRUE(part.startsWith(destination + "."));
    EXPECT_TRUE(part.endsWith(".part"));
    EXPECT_NE(part, PartFiles::newPartFilePath(destination));
    write(part, "new");
    EXPECT_FALSE(PartFiles::replaceDestination(part, destination).has_value());
    QFile result(destination);
    ASSERT_TRUE(result.open(QIODevice::ReadOnly));
    EXPECT_EQ(result.readAll(), "new");
    EXPECT_FALSE(QFile::exists(part));

    // A destination that cannot be replaced (a folder stands there) fails,
    // and the part-file does not linger.
    const QString blocked = folder.filePath("ggml-large-v3-turbo.bin");
    ASSERT_TRUE(QDir().mkpath(blocked + "/inside"));
    const QString stuck = PartFiles::newPartFilePath(blocked);
    write(stuck, "new");
    const auto error = PartFiles::replaceDestination(stuck, blocked);
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->kind(), TallowindError::Kind::fileOperationFailed);
    EXPECT_FALSE(QFile::exists(stuck));
    EXPECT_TRUE(QFileInfo(blocked).isDir());
}

TEST(PartFilesTest, StrayPartFilesAreRemovedAndNothingElse)
{
    QTemporaryDir folder;
    QDir dir(folder.path());
    for (const char* name : {"ggml-large-v3.bin", "ggml-large-v3.bin.1234.part", "ggml-large-v3-turbo.bin.ab.part",
             "notes.part", "ggml-large-v3.bin.keep"}) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    EXPECT_EQ(PartFiles::removeStrayPartFiles(folder.path()), 2);
    EXPECT_EQ(dir.entryList(QDir::Files, QDir::Name),
        (QStringList{"ggml-large-v3.bin", "ggml-large-v3.bin.keep", "notes.part"}));
}
