#include "recording/RecordingManager.h"

#include "base/Defaults.h"
#include "base/Dispatch.h"
#include "core/config/AppConfig.h"
#include "support/LogCapture.h"
#include "support/SettingsReset.h"

#include <QDir>
#include <QSet>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QThread>

#include <atomic>
#include <thread>
#include <vector>

namespace {

class RecordingManagerTest : public DefaultsTest {
protected:
    void SetUp() override
    {
        DefaultsTest::SetUp();
        clearArchive();
    }
    void TearDown() override
    {
        clearArchive();
        DefaultsTest::TearDown();
    }
    void clearArchive()
    {
        RecordingManager& manager = RecordingManager::shared();
        manager.waitForPendingWork();
        manager.deleteAllRecordings();
        for (const QString& name : QDir(manager.recordingsDirectory()).entryList(QDir::Files))
            QFile::remove(manager.recordingsDirectory() + "/" + name);
    }
};

} // namespace

TEST_F(RecordingManagerTest, PublishedPropertiesAnnounceEveryAssignmentEqualValuesToo)
{
    RecordingManager& manager = RecordingManager::shared();
    QSignalSpy recording(&manager, &RecordingManager::isRecordingChanged);
    QSignalSpy level(&manager, &RecordingManager::audioLevelChanged);
    QSignalSpy text(&manager, &RecordingManager::currentTranscriptionChanged);

    manager.setIsRecording(true);
    manager.setIsRecording(true);
    manager.setAudioLevel(0.5f);
    manager.setAudioLevel(0.5f);
    manager.setProperty("currentTranscription", QStringLiteral("Listening..."));
    manager.setCurrentTranscription(QStringLiteral("Listening..."));

    EXPECT_EQ(recording.count(), 2);
    EXPECT_EQ(level.count(), 2);
    ASSERT_EQ(text.count(), 2);
    EXPECT_EQ(text.at(1).at(0).toString(), "Listening...");
    EXPECT_TRUE(manager.property("isRecording").toBool());
    EXPECT_EQ(manager.audioLevel(), 0.5f);

    manager.setIsRecording(false);
    manager.setAudioLevel(0.0f);
    manager.setCurrentTranscription({});
}

TEST_F(RecordingManagerTest, AssignmentsFromOtherThreadsAreAnnouncedOnTheMainThreadInOrder)
{
    RecordingManager& manager = RecordingManager::shared();
    QList<float> heard;
    bool allOnMain = true;
    const QMetaObject::Connection connection =
        QObject::connect(&manager, &RecordingManager::audioLevelChanged, [&](float value) {
            heard << value;
            allOnMain = allOnMain && QThread::currentThread() == qApp->thread();
        });
    std::thread writer([&] {
        for (int i = 1; i <= 50; ++i)
            manager.setAudioLevel(i / 100.0f);
        manager.setCurrentTranscription("from a worker");
    });
    writer.join();
    ASSERT_TRUE(Dispatch::drainMainQueue());
    QObject::disconnect(connection);

    ASSERT_EQ(heard.size(), 50);
    EXPECT_EQ(heard.first(), 0.01f);
    EXPECT_EQ(heard.last(), 0.5f);
    EXPECT_TRUE(std::is_sorted(heard.begin(), heard.end()));
    EXPECT_TRUE(allOnMain);
    EXPECT_EQ(manager.audioLevel(), 0.5f);
    EXPECT_EQ(manager.currentTranscription(), "from a worker");
    manager.setAudioLevel(0.0f);
    manager.setCurrentTranscription({});
}

TEST_F(RecordingManagerTest, RetentionSettingsFallBackUnlessPositive)
{
    RecordingManager& manager = RecordingManager::shared();
    EXPECT_EQ(manager.maxStorageSizeMB(), 500);
    EXPECT_EQ(manager.autoDeleteAfterDays(), 30);

    for (int64_t stored : {int64_t{0}, int64_t{-4}}) {
        manager.setMaxStorageSizeMB(stored);
        manager.setAutoDeleteAfterDays(stored);
        EXPECT_EQ(manager.maxStorageSizeMB(), 500);
        EXPECT_EQ(manager.autoDeleteAfterDays(), 30);
        EXPECT_EQ(Defaults::value("MaxRecordingsStorageSize").toLongLong(), stored); // stored unchecked
    }
    manager.setMaxStorageSizeMB(1);
    manager.setAutoDeleteAfterDays(1);
    EXPECT_EQ(manager.maxStorageSizeMB(), 1);
    EXPECT_EQ(manager.autoDeleteAfterDays(), 1);

    Defaults::setValue("MaxRecordingsStorageSize", QStringLiteral("not a number"));
    EXPECT_EQ(manager.maxStorageSizeMB(), 500);

    manager.setIsSaveEnabled(true);
    EXPECT_TRUE(AppConfig::enableRecordingSaving());
    AppConfig::setEnableRecordingSaving(false);
    EXPECT_FALSE(manager.isSaveEnabled());
}

TEST_F(RecordingManagerTest, RecordingsLiveInTheUsersDataFolder)
{
    const QString expected =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/Tallowind/Recordings";
    EXPECT_EQ(RecordingManager::shared().recordingsDirectory(), expected);
    EXPECT_TRUE(expected.startsWith(qEnvironmentVariable("XDG_DATA_HOME")));
    EXPECT_TRUE(QFileInfo(expected).isDir());
}

TEST_F(RecordingManagerTest, SaveDoesNothingWhileSavingIsSwitchedOff)
{
    RecordingManager& manager = RecordingManager::shared();
    LogCapture log;
    manager.saveRecording(std::vector<float>(16000, 0.1f), 16000, "text", "unknown");
    manager.saveRecording({}, -1, "", "");
    manager.waitForPendingWork();

    EXPECT_TRUE(QDir(manager.recordingsDirectory()).entryList(QDir::Files).isEmpty());
    EXPECT_TRUE(log.outLines().isEmpty());
}

TEST_F(RecordingManagerTest, ConcurrentSavesKeepEveryEntry)
{
    RecordingManager& manager = RecordingManager::shared();
    manager.setIsSaveEnabled(true);
    LogCapture log;

    constexpr int threads = 8;
    constexpr int savesPerThread = 25;
    std::atomic<bool> saving{true};
    // Reads alongside the writes must never see a half-written index.
    std::thread reader([&] {
        while (saving.load())
            (void)manager.getRecordings();
    });
    std::vector<std::thread> writers;
    for (int t = 0; t < threads; ++t) {
        writers.emplace_back([&manager, t] {
            for (int i = 0; i < savesPerThread; ++i)
                manager.saveRecording(
                    std::vector<float>(160, float(t)), 16000, QString("%1-%2").arg(t).arg(i), "unknown");
        });
    }
    for (std::thread& writer : writers)
        writer.join();
    manager.waitForPendingWork();
    saving.store(false);
    reader.join();

    const QList<RecordingMetadata> recordings = manager.getRecordings();
    ASSERT_EQ(recordings.size(), threads * savesPerThread);
    QSet<QString> texts;
    QSet<QString> files;
    for (const RecordingMetadata& metadata : recordings) {
        texts.insert(metadata.transcription);
        files.insert(metadata.filename);
        EXPECT_EQ(metadata.fileSize, 58 + 160 * 4);
        EXPECT_TRUE(QFile::exists(manager.recordingsDirectory() + "/" + metadata.filename));
    }
    EXPECT_EQ(texts.size(), threads * savesPerThread);
    EXPECT_EQ(files.size(), threads * savesPerThread);
    EXPECT_TRUE(log.outLines().isEmpty()) << log.outLines().join("\n").toStdString();
    EXPECT_EQ(manager.getTotalStorageUsed(), int64_t{threads * savesPerThread} * (58 + 160 * 4));

    manager.deleteRecording(recordings.first().filename);
    EXPECT_EQ(manager.getRecordings().size(), threads * savesPerThread - 1);
    manager.setIsSaveEnabled(false);
}
