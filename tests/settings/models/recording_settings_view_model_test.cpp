#include "settings/ScratchFolderFixture.h"
#include "settings/models/RecordingSettingsViewModel.h"

#include "base/Defaults.h"
#include "base/Dispatch.h"
#include "core/config/AppConfig.h"
#include "recording/RecordingManager.h"
#include "support/FakeWorkspace.h"

#include <QDir>

#include <cmath>

namespace {

class RecordingSettingsTest : public ScratchFolderTest {
protected:
    static RecordingManager& store() { return RecordingManager::shared(); }
    static RecordingMetadata record(const QString& filename)
    {
        RecordingMetadata metadata;
        metadata.filename = filename;
        metadata.duration = 75;
        metadata.fileSize = 2048;
        metadata.timestamp = RecordingMetadata::timestampFrom(QDateTime(QDate(2026, 3, 14), QTime(15, 9)));
        return metadata;
    }

    std::shared_ptr<FakeWorkspace> workspace = std::make_shared<FakeWorkspace>();
};

} // namespace

TEST(RecordingInfo, OddDurationsShowAsNothingAndEachInfoIsNew)
{
    RecordingMetadata metadata;
    metadata.duration = 75;
    const RecordingInfo a(metadata, "/r/a.wav");
    EXPECT_NE(a.id, RecordingInfo(metadata, "/r/a.wav").id);
    EXPECT_EQ(a.formattedDuration(), "1m 15s");
    for (double odd : {0.0, -4.0, std::nan(""), 1e300}) {
        metadata.duration = odd;
        EXPECT_EQ(RecordingInfo(metadata, "").formattedDuration(), "0s") << odd;
    }
}

TEST(RecordingInfo, DatesShowTheAbbreviatedMonthWithoutWeekday)
{
    RecordingMetadata metadata;
    metadata.timestamp = RecordingMetadata::timestampFrom(QDateTime(QDate(2026, 3, 14), QTime(15, 9)));
    const QLocale before;
    for (const char* name : {"en_US", "en_GB", "de_DE", "fr_FR"}) {
        QLocale::setDefault(QLocale(name));
        const QString shown = RecordingInfo(metadata, "").formattedDate();
        const QLocale locale(name);
        EXPECT_TRUE(shown.contains(locale.monthName(3, QLocale::ShortFormat))) << name << shown.toStdString();
        EXPECT_FALSE(shown.contains(locale.dayName(6, QLocale::ShortFormat))) << name << shown.toStdString();
        EXPECT_TRUE(shown.contains("2026") && shown.contains("14")) << name << shown.toStdString();
        EXPECT_TRUE(shown.endsWith(locale.toString(QTime(15, 9), QLocale::ShortFormat))) << shown.toStdString();
    }
    QLocale::setDefault(QLocale("en_US"));
    EXPECT_TRUE(RecordingInfo(metadata, "").formattedDate().startsWith("Mar 14, 2026"));
    QLocale::setDefault(before);
}

TEST_F(RecordingSettingsTest, ConstructionShowsTheStoresAndWritesNothing)
{
    Defaults::setValue("MaxRecordingsStorageSize", 250);
    AppConfig::setShowInFinderAfterSaving(true);
    RecordingSettingsViewModel model(store(), workspace);
    EXPECT_EQ(model.maxStorageSizeMB(), 250);
    EXPECT_TRUE(model.showInFinderAfterSaving());
    Dispatch::drainMainQueue();
    pumpFor(RecordingSettingsViewModel::saveDelayMs + 150);
    EXPECT_TRUE(model.recordings().isEmpty());
    EXPECT_EQ(Defaults::open()->allKeys().size(), 2);
}

TEST_F(RecordingSettingsTest, SwitchesAreStoredAtOnceAndLimitsOnlyAfterThePause)
{
    RecordingSettingsViewModel model(store(), workspace);
    model.setEnableRecordingSaving(true);
    EXPECT_TRUE(AppConfig::enableRecordingSaving());

    model.setMaxStorageSizeMB(100);
    model.setMaxStorageSizeMB(200);
    model.setMaxStorageSizeMB(300);
    EXPECT_FALSE(Defaults::contains("MaxRecordingsStorageSize"));
    ASSERT_TRUE(pumpUntil([] { return Defaults::contains("MaxRecordingsStorageSize"); }));
    EXPECT_EQ(Defaults::value("MaxRecordingsStorageSize").toLongLong(), 300);

    // Stored as given; the store reads its default back for nonsense.
    model.setAutoDeleteAfterDays(-3);
    ASSERT_TRUE(pumpUntil([] { return Defaults::contains("AutoDeleteRecordingsAfterDays"); }));
    EXPECT_EQ(Defaults::value("AutoDeleteRecordingsAfterDays").toLongLong(), -3);
    EXPECT_EQ(store().autoDeleteAfterDays(), 30);
}

TEST_F(RecordingSettingsTest, ALimitChangedJustBeforeTheModelGoesIsNotWritten)
{
    {
        RecordingSettingsViewModel model(store(), workspace);
        model.setAutoDeleteAfterDays(7);
    }
    pumpFor(RecordingSettingsViewModel::saveDelayMs + 150);
    EXPECT_FALSE(Defaults::contains("AutoDeleteRecordingsAfterDays"));
}

TEST_F(RecordingSettingsTest, DeletingTheSelectionClearsItAndLeavesFilesAlone)
{
    const QString file = folder.filePath("recording_a.wav");
    writeFile(file, "RIFF");
    RecordingSettingsViewModel model(store(), workspace);
    const RecordingInfo info(record("recording_a.wav"), file);
    model.setRecordings({info});
    model.setSelectedRecordings({info.id, QUuid::createUuid()});
    model.deleteSelectedRecordings();
    EXPECT_TRUE(model.selectedRecordings().isEmpty());
    EXPECT_TRUE(model.recordings().isEmpty());
    EXPECT_TRUE(QFile::exists(file));
}

TEST_F(RecordingSettingsTest, RevealSelectsTheFileAndPlayOpensIt)
{
    RecordingSettingsViewModel model(store(), workspace);
    const RecordingInfo info(record("recording_a.wav"), "/data/Recordings/recording_a.wav");
    model.showInFinder(info);
    EXPECT_EQ(workspace->revealed, QStringList{"/data/Recordings/recording_a.wav"});
    EXPECT_TRUE(workspace->opened.isEmpty()) << "the file manager shows the file, not just its folder";
    model.playRecording(info);
    EXPECT_EQ(workspace->opened, QList<QUrl>{QUrl::fromLocalFile("/data/Recordings/recording_a.wav")});
}

TEST_F(RecordingSettingsTest, ExportCopiesWholeAndAFailedOneKeepsTheOldFile)
{
    const QString source = folder.filePath("recording_a.wav");
    const QByteArray audio = QByteArray(3 * 1024 * 1024 + 17, 'a');
    writeFile(source, audio);
    const QString target = folder.filePath("copy.wav");
    writeFile(target, "an older file");
    RecordingSettingsViewModel model(store(), workspace);

    std::optional<std::optional<QString>> result;
    model.exportRecordingTo(RecordingInfo(record("recording_a.wav"), source), target,
        [&](const std::optional<QString>& error) { result = error; });
    ASSERT_TRUE(pumpUntil([&] { return result.has_value(); }));
    EXPECT_FALSE(result->has_value());
    EXPECT_EQ(readFile(target), audio);

    // The source is gone: the existing copy stays as it was.
    writeFile(target, "an older file");
    result.reset();
    model.exportRecordingTo(RecordingInfo(record("gone.wav"), folder.filePath("gone.wav")), target,
        [&](const std::optional<QString>& error) { result = error; });
    ASSERT_TRUE(pumpUntil([&] { return result.has_value(); }));
    ASSERT_TRUE(result->has_value());
    EXPECT_TRUE((*result)->startsWith("Could not read"));
    EXPECT_EQ(readFile(target), "an older file");
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

TEST_F(RecordingSettingsTest, ExportAndFolderChoiceGoThroughTheChooser)
{
    const QString source = folder.filePath("recording_b.wav");
    writeFile(source, "RIFFdata");
    RecordingSettingsViewModel model(store(), workspace);
    std::optional<std::optional<QString>> result;
    // A name with folder parts suggests only its last part.
    model.exportRecording(RecordingInfo(record("../../recording_b.wav"), source),
        [&](const std::optional<QString>& error) { result = error; });
    QFileDialog* saver = openDialog();
    ASSERT_NE(saver, nullptr);
    EXPECT_EQ(saver->selectedFiles().value(0).section('/', -1), "recording_b.wav");
    choose(saver, folder.filePath("exported.wav"));
    ASSERT_TRUE(pumpUntil([&] { return result.has_value(); }));
    EXPECT_EQ(readFile(folder.filePath("exported.wav")), "RIFFdata");

    QDir(folder.path()).mkdir("elsewhere");
    bool chosen = false;
    model.chooseRecordingsDirectory([&] { chosen = true; });
    QFileDialog* picker = openDialog();
    ASSERT_NE(picker, nullptr);
    EXPECT_EQ(picker->fileMode(), QFileDialog::Directory);
    choose(picker, folder.filePath("elsewhere"));
    ASSERT_TRUE(pumpUntil([&] { return chosen; }));
    EXPECT_EQ(model.recordingsDirectory(), folder.filePath("elsewhere"));
    EXPECT_NE(store().recordingsDirectory(), folder.filePath("elsewhere"));
}
