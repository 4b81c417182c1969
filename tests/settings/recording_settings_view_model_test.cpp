#include "settings/RecordingSettingsViewModel.h"

#include "base/Defaults.h"
#include "base/Dispatch.h"
#include "core/config/AppConfig.h"
#include "recording/RecordingManager.h"
#include "support/EventLoop.h"
#include "support/FakeWorkspace.h"
#include "support/SettingsReset.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class RecordingSettingsTest : public DefaultsTest {
protected:
    static RecordingManager& store() { return RecordingManager::shared(); }
    static RecordingMetadata record(const QString& filename, double duration = 75, int64_t size = 2048)
    {
        RecordingMetadata metadata;
        metadata.filename = filename;
        metadata.duration = duration;
        metadata.fileSize = size;
        metadata.timestamp = RecordingMetadata::timestampFrom(QDateTime(QDate(2026, 3, 14), QTime(15, 9)));
        return metadata;
    }
    static void writeFile(const QString& path, const QByteArray& bytes)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    static QByteArray readFile(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    static QFileDialog* openDialog()
    {
        QFileDialog* found = nullptr;
        pumpUntil([&] {
            for (QWidget* widget : QApplication::topLevelWidgets())
                if (auto* dialog = qobject_cast<QFileDialog*>(widget); dialog && dialog->isVisible())
                    found = dialog;
            return found != nullptr;
        });
        return found;
    }

    std::shared_ptr<FakeWorkspace> workspace = std::make_shared<FakeWorkspace>();
    QTemporaryDir folder;
};

} // namespace

TEST(RecordingInfo, DisplayTextsAndFreshIdentities)
{
    RecordingMetadata metadata;
    metadata.duration = 75;
    metadata.fileSize = 1536;
    const RecordingInfo a(metadata, "/r/a.wav");
    const RecordingInfo b(metadata, "/r/a.wav");
    EXPECT_NE(a.id, b.id);
    EXPECT_EQ(a.formattedDuration(), "1m 15s");
    EXPECT_TRUE(a.formattedSize().startsWith("1.5 ")) << a.formattedSize().toStdString();
    const auto durationText = [](double seconds) {
        RecordingMetadata timed;
        timed.duration = seconds;
        return RecordingInfo(timed, "").formattedDuration();
    };
    for (double odd : {0.0, -4.0, std::nan(""), 1e300})
        EXPECT_EQ(durationText(odd), "0s") << odd;
    EXPECT_EQ(durationText(42.4), "42s");
    EXPECT_EQ(durationText(3600), "60m 0s");
    EXPECT_FALSE(a.formattedDate().isEmpty());
}

TEST_F(RecordingSettingsTest, ConstructionShowsTheStoresAndWritesNothing)
{
    Defaults::setValue("MaxRecordingsStorageSize", 250);
    AppConfig::setShowInFinderAfterSaving(true);
    RecordingSettingsViewModel model(store(), workspace);
    EXPECT_EQ(model.maxStorageSizeMB(), 250);
    EXPECT_EQ(model.autoDeleteAfterDays(), 30);
    EXPECT_TRUE(model.showInFinderAfterSaving());
    EXPECT_FALSE(model.enableRecordingSaving());
    EXPECT_EQ(model.recordingsDirectory(), store().recordingsDirectory());
    QSignalSpy loads(&model, &RecordingSettingsViewModel::isLoadingRecordingsChanged);
    Dispatch::drainMainQueue();
    pumpFor(RecordingSettingsViewModel::saveDelayMs + 150);
    EXPECT_EQ(loads.count(), 2);
    EXPECT_TRUE(model.recordings().isEmpty());
    EXPECT_EQ(Defaults::open()->allKeys().size(), 2);
    EXPECT_EQ(model.totalStorageUsed(), "0 MB");
}

TEST_F(RecordingSettingsTest, SwitchesAreStoredAtOnceAndLimitsOnlyAfterThePause)
{
    RecordingSettingsViewModel model(store(), workspace);
    model.setEnableRecordingSaving(true);
    EXPECT_TRUE(AppConfig::enableRecordingSaving());
    model.setShowInFinderAfterSaving(false);
    EXPECT_TRUE(Defaults::contains("ShowInFinderAfterSaving"));

    std::vector<qint64> written;
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

TEST_F(RecordingSettingsTest, RevealOpensTheFolderAndPlayOpensTheFile)
{
    RecordingSettingsViewModel model(store(), workspace);
    const RecordingInfo info(record("recording_a.wav"), "/data/Recordings/recording_a.wav");
    model.showInFinder(info);
    model.playRecording(info);
    EXPECT_EQ(workspace->opened,
        (QList<QUrl>{
            QUrl::fromLocalFile("/data/Recordings"), QUrl::fromLocalFile("/data/Recordings/recording_a.wav")}));
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
    model.exportRecording(RecordingInfo(record("../../recording_b.wav"), source),
        [&](const std::optional<QString>& error) { result = error; });
    QFileDialog* saver = openDialog();
    ASSERT_NE(saver, nullptr);
    EXPECT_EQ(saver->selectedFiles().value(0).section('/', -1), "recording_b.wav");
    saver->selectFile(folder.filePath("exported.wav"));
    QMetaObject::invokeMethod(saver, "accept");
    ASSERT_TRUE(pumpUntil([&] { return result.has_value(); }));
    EXPECT_EQ(readFile(folder.filePath("exported.wav")), "RIFFdata");

    QDir(folder.path()).mkdir("elsewhere");
    bool chosen = false;
    model.chooseRecordingsDirectory([&] { chosen = true; });
    QFileDialog* picker = openDialog();
    ASSERT_NE(picker, nullptr);
    EXPECT_EQ(picker->fileMode(), QFileDialog::Directory);
    EXPECT_EQ(picker->labelText(QFileDialog::Accept), "Choose");
    picker->setDirectory(folder.path());
    picker->selectFile(folder.filePath("elsewhere"));
    QMetaObject::invokeMethod(picker, "accept");
    ASSERT_TRUE(pumpUntil([&] { return chosen; }));
    EXPECT_EQ(model.recordingsDirectory(), folder.filePath("elsewhere"));
    EXPECT_NE(store().recordingsDirectory(), folder.filePath("elsewhere"));
}
