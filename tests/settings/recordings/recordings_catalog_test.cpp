#include "settings/recordings/RecordingsCatalog.h"

#include "core/config/AppConfig.h"
#include "settings/LibraryFixture.h"
#include "support/Patience.h"

#include <QTest>

#include <gtest/gtest.h>

#include <vector>

namespace {

using RecordingInfo = SettingsViewModel::RecordingInfo;

class RecordingsCatalogTest : public SettingsFixture {
protected:
    void SetUp() override
    {
        SettingsFixture::SetUp();
        AppConfig::setEnableRecordingSaving(true);
    }

    // A catalog of its own, so that no other test's listing is reused.
    bool loaded(RecordingsCatalog& catalog, int count)
    {
        catalog.refresh();
        return QTest::qWaitFor([&] { return !catalog.isLoading() && catalog.rows().size() == count; }, 10000);
    }
    static void save(const QString& text)
    {
        RecordingManager::shared().saveRecording(std::vector<float>(160, 0.1f), 16000.0, text, QStringLiteral("m"));
    }
    static QStringList texts(const QList<RecordingInfo>& rows)
    {
        QStringList all;
        for (const RecordingInfo& row : rows)
            all.append(row.transcription);
        return all;
    }
};

TEST_F(RecordingsCatalogTest, SavesAndDeletionsUpdateTheListWithoutReadingItAgain)
{
    const QDateTime now = QDateTime::currentDateTime();
    writeIndexed({entry("recording_a.wav", now.addSecs(-60), "a"), entry("recording_b.wav", now.addSecs(-30), "b")});
    RecordingsCatalog catalog(RecordingManager::shared());
    ASSERT_TRUE(loaded(catalog, 2));
    const QUuid firstId = catalog.rows().first().id;

    save("new");
    ASSERT_TRUE(QTest::qWaitFor([&] { return catalog.rows().size() == 3; }, 10000));
    EXPECT_EQ(texts(catalog.rows()), (QStringList{"new", "b", "a"}));
    // Listed again, the old rows would carry new ids.
    EXPECT_EQ(catalog.rows().at(1).id, firstId);

    RecordingManager::shared().deleteRecordings({"recording_b.wav"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return catalog.rows().size() == 2; }, 10000));
    EXPECT_EQ(texts(catalog.rows()), (QStringList{"new", "a"}));

    // Nothing changed since: refreshing keeps the very same list.
    const RecordingInfo* data = catalog.rows().constData();
    ASSERT_TRUE(loaded(catalog, 2));
    EXPECT_EQ(catalog.rows().constData(), data);
}

TEST_F(RecordingsCatalogTest, AnIndexChangedBehindItsBackIsReadAgainOnRefresh)
{
    const QDateTime now = QDateTime::currentDateTime();
    writeIndexed({entry("recording_a.wav", now, "a")});
    RecordingsCatalog catalog(RecordingManager::shared());
    ASSERT_TRUE(loaded(catalog, 1));

    writeIndexed({entry("recording_x.wav", now, "x"), entry("recording_y.wav", now.addSecs(-1), "y")});
    ASSERT_TRUE(loaded(catalog, 2));
    EXPECT_EQ(texts(catalog.rows()), (QStringList{"x", "y"}));
}

TEST_F(RecordingsCatalogTest, FilesAddedOrRemovedByOtherMeansAreSeenOnRefresh)
{
    writeIndexed({entry("recording_a.wav", QDateTime::currentDateTime(), "a")});
    RecordingsCatalog catalog(RecordingManager::shared());
    ASSERT_TRUE(loaded(catalog, 1));
    save("b");
    ASSERT_TRUE(QTest::qWaitFor([&] { return catalog.rows().size() == 2; }, 10000));

    // The index did not change, the folder did.
    writeFile(pathOf("take_2024_m.wav"), "RIFF");
    writeFile(pathOf("take_2024_m.txt"), "sidecar");
    ASSERT_TRUE(loaded(catalog, 3));

    // A text file edited in place changes neither the index nor the folder.
    {
        QFile edit(pathOf("take_2024_m.txt"));
        ASSERT_TRUE(edit.open(QIODevice::WriteOnly | QIODevice::Truncate));
        edit.write("edited in place");
    }
    catalog.refresh();
    ASSERT_TRUE(QTest::qWaitFor([&] { return texts(catalog.rows()).contains("edited in place"); }, Patience::reply))
        << texts(catalog.rows()).join(", ").toStdString();

    QFile::remove(pathOf("take_2024_m.wav"));
    ASSERT_TRUE(loaded(catalog, 2));
}

TEST_F(RecordingsCatalogTest, ChangesMadeWhileTheListIsReadAreNeitherLostNorDoubled)
{
    RecordingsCatalog catalog(RecordingManager::shared());
    for (int round = 0; round < 5; ++round) {
        catalog.refresh();
        save(QString::number(round));
    }
    RecordingManager::shared().waitForPendingWork();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !catalog.isLoading() && catalog.rows().size() == 5; }, 10000));
    ASSERT_TRUE(loaded(catalog, 5));
    QStringList all = texts(catalog.rows());
    all.sort();
    EXPECT_EQ(all, (QStringList{"0", "1", "2", "3", "4"}));
}

TEST_F(RecordingsCatalogTest, ForgettingRowsAndLosingTheFolderEmptyTheList)
{
    writeFile(pathOf("take_2024_m.wav"), "RIFF");
    writeFile(pathOf("take_2024_m.txt"), "sidecar");
    RecordingsCatalog catalog(RecordingManager::shared());
    ASSERT_TRUE(loaded(catalog, 1));
    catalog.forget({pathOf("take_2024_m.wav")});
    EXPECT_TRUE(catalog.rows().isEmpty());

    // The sidecar files are still there: read again, they are listed again.
    writeIndexed({entry("recording_a.wav", QDateTime::currentDateTime(), "a")});
    ASSERT_TRUE(loaded(catalog, 2));
    QDir(folder).removeRecursively();
    catalog.refresh();
    EXPECT_TRUE(catalog.rows().isEmpty());
}

} // namespace
