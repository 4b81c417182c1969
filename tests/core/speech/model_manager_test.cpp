#include "base/Defaults.h"
#include "base/Dispatch.h"
#include "base/NotificationCenter.h"
#include "core/speech/ModelManager.h"
#include "support/SettingsReset.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <QProcess>
#include <QTemporaryDir>

#include <thread>

#include <unistd.h>

namespace {

class ModelStore : public DefaultsTest {
protected:
    ModelManager& store = ModelManager::shared();

    void SetUp() override
    {
        DefaultsTest::SetUp();
        emptyModelsFolder();
    }
    void TearDown() override
    {
        emptyModelsFolder();
        DefaultsTest::TearDown();
    }

    void emptyModelsFolder()
    {
        QDir folder(store.modelsDirectory());
        folder.removeRecursively();
        QDir().mkpath(store.modelsDirectory());
    }

    void writeModelFile(WhisperModel model, qint64 bytes = 16)
    {
        QFile file(store.modelPath(model));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(bytes, 'm'));
    }

    static QVariant storedActive() { return Defaults::value(ModelManager::activeModelKey); }

    // Start-up as the application runs it: migration, then validation.
    void replayStartUp()
    {
        store.migrateFromOldModels();
        store.validateDownloadedModels();
    }
};

} // namespace

TEST_F(ModelStore, FolderLivesUnderTheDataHome)
{
    const QString expected =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/Tallowind/Models";
    EXPECT_EQ(store.modelsDirectory(), expected);
    EXPECT_TRUE(QFileInfo(expected).isDir());
    EXPECT_EQ(store.modelPath(WhisperModel::largeV3), expected + "/ggml-large-v3.bin");
}

TEST_F(ModelStore, ActiveModelReadsOnlyCatalogueStrings)
{
    EXPECT_FALSE(store.activeModel());
    store.setActiveModel(WhisperModel::largeV3TurboQ8);
    EXPECT_EQ(storedActive().toString(), "large-v3-turbo-q8_0");
    EXPECT_EQ(store.activeModel(), WhisperModel::largeV3TurboQ8);

    Defaults::setValue(ModelManager::activeModelKey, QString("base.en"));
    EXPECT_FALSE(store.activeModel());
    Defaults::setValue(ModelManager::activeModelKey, 42);
    EXPECT_FALSE(store.activeModel());
    Defaults::setValue(ModelManager::activeModelKey, QVariantList{QString("large-v3")});
    EXPECT_FALSE(store.activeModel());

    store.setActiveModel(std::nullopt);
    EXPECT_FALSE(Defaults::contains(ModelManager::activeModelKey));
}

TEST_F(ModelStore, DownloadedModelsFollowTheFolderInCatalogueOrder)
{
    EXPECT_TRUE(store.downloadedModels().isEmpty());
    EXPECT_EQ(store.totalStorageUsed(), 0);

    writeModelFile(WhisperModel::largeV3, 100);
    writeModelFile(WhisperModel::largeV3TurboQ8, 20);
    // A folder at a model's path counts as present too.
    ASSERT_TRUE(QDir().mkpath(store.modelPath(WhisperModel::largeV3Turbo)));
    // Files that are not catalogue file names are not models.
    QFile stray(store.modelsDirectory() + "/ggml-base.en.bin");
    ASSERT_TRUE(stray.open(QIODevice::WriteOnly));

    EXPECT_EQ(store.downloadedModels(),
        (QList<WhisperModel>{WhisperModel::largeV3TurboQ8, WhisperModel::largeV3Turbo, WhisperModel::largeV3}));
    EXPECT_EQ(store.modelFileSize(WhisperModel::largeV3), 100);
    EXPECT_FALSE(store.modelFileSize(WhisperModel::largeV3TurboQ5));
    EXPECT_GE(store.totalStorageUsed(), 120);
}

TEST_F(ModelStore, OldIdentifierMovesToItsSuccessorWhenThatIsOnDisk)
{
    writeModelFile(WhisperModel::largeV3TurboQ5);
    Defaults::setValue(ModelManager::activeModelKey, QString("base.en"));
    replayStartUp();
    EXPECT_EQ(store.activeModel(), WhisperModel::largeV3TurboQ5);
}

TEST_F(ModelStore, MigrationRewritesOrForgetsOldIdentifiers)
{
    Defaults::setValue(ModelManager::activeModelKey, QString("large-v2"));
    store.migrateFromOldModels();
    EXPECT_EQ(storedActive().toString(), "large-v3-turbo");
    // No file on disk: validation forgets it.
    store.validateDownloadedModels();
    EXPECT_FALSE(Defaults::contains(ModelManager::activeModelKey));

    Defaults::setValue(ModelManager::activeModelKey, QString("tiny.en-q8_0"));
    store.migrateFromOldModels();
    EXPECT_EQ(storedActive().toString(), "large-v3-turbo-q5_0");

    Defaults::setValue(ModelManager::activeModelKey, QString("LARGE-V3"));
    store.migrateFromOldModels();
    EXPECT_FALSE(Defaults::contains(ModelManager::activeModelKey));

    // A value of the wrong type is left alone, not rewritten.
    Defaults::setValue(ModelManager::activeModelKey, 7);
    store.migrateFromOldModels();
    EXPECT_EQ(storedActive(), QVariant(7));
}

TEST_F(ModelStore, ValidationFallsBackToTheFirstDownloadedModel)
{
    writeModelFile(WhisperModel::largeV3);
    writeModelFile(WhisperModel::largeV3Turbo);
    Defaults::setValue(ModelManager::activeModelKey, QString("no-such-model"));
    replayStartUp();
    EXPECT_EQ(store.activeModel(), WhisperModel::largeV3Turbo);

    // The active file vanishes behind the application's back.
    QFile::remove(store.modelPath(WhisperModel::largeV3Turbo));
    store.validateDownloadedModels();
    EXPECT_EQ(store.activeModel(), WhisperModel::largeV3);

    QFile::remove(store.modelPath(WhisperModel::largeV3));
    store.validateDownloadedModels();
    EXPECT_FALSE(store.activeModel());
    EXPECT_FALSE(Defaults::contains(ModelManager::activeModelKey));
}

TEST_F(ModelStore, ValidationKeepsAnActiveModelThatIsOnDisk)
{
    writeModelFile(WhisperModel::largeV3TurboQ5);
    writeModelFile(WhisperModel::largeV3);
    store.setActiveModel(WhisperModel::largeV3);
    store.validateDownloadedModels();
    EXPECT_EQ(store.activeModel(), WhisperModel::largeV3);
}

TEST_F(ModelStore, SynchronousDeleteRemovesTheFileAndClearsTheActiveChoice)
{
    writeModelFile(WhisperModel::largeV3);
    writeModelFile(WhisperModel::largeV3TurboQ5);
    store.setActiveModel(WhisperModel::largeV3);

    EXPECT_FALSE(store.deleteModel(WhisperModel::largeV3TurboQ5));
    EXPECT_EQ(store.activeModel(), WhisperModel::largeV3);

    EXPECT_FALSE(store.deleteModel(WhisperModel::largeV3));
    EXPECT_FALSE(store.isModelDownloaded(WhisperModel::largeV3));
    EXPECT_FALSE(store.activeModel());

    // Nothing on disk: still succeeds and still forgets the active choice.
    store.setActiveModel(WhisperModel::largeV3);
    EXPECT_FALSE(store.deleteModel(WhisperModel::largeV3));
    EXPECT_FALSE(store.activeModel());
}

TEST_F(ModelStore, SynchronousDeleteRemovesAFolderButNotWhatALinkPointsTo)
{
    const QString folder = store.modelPath(WhisperModel::largeV3Turbo);
    ASSERT_TRUE(QDir().mkpath(folder + "/inner"));
    EXPECT_FALSE(store.deleteModel(WhisperModel::largeV3Turbo));
    EXPECT_FALSE(QFileInfo::exists(folder));

    QTemporaryDir outside;
    QFile keep(outside.filePath("keep.bin"));
    ASSERT_TRUE(keep.open(QIODevice::WriteOnly));
    keep.close();
    ASSERT_TRUE(QFile::link(outside.path(), store.modelPath(WhisperModel::largeV3)));
    EXPECT_FALSE(store.deleteModel(WhisperModel::largeV3));
    EXPECT_FALSE(QFileInfo(store.modelPath(WhisperModel::largeV3)).isSymLink());
    EXPECT_TRUE(QFileInfo::exists(outside.filePath("keep.bin")));
}

// Makes the folder's contents impossible to remove until it goes out of
// scope: by permissions for an ordinary user, by the immutable attribute for
// root (whom permissions do not stop).
class UndeletableContents {
public:
    explicit UndeletableContents(const QString& folder) : folderPath(folder), inner(folder + "/inner")
    {
        QFile file(inner);
        if (!file.open(QIODevice::WriteOnly))
            return;
        file.close();
        if (geteuid() != 0)
            protectionActive = QFile::setPermissions(folderPath, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        else
            protectionActive = QProcess::execute("chattr", {"+i", inner}) == 0;
    }
    ~UndeletableContents()
    {
        if (geteuid() != 0)
            QFile::setPermissions(folderPath, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        else if (protectionActive)
            QProcess::execute("chattr", {"-i", inner});
    }
    bool active() const { return protectionActive; }

private:
    QString folderPath;
    QString inner;
    bool protectionActive = false;
};

TEST_F(ModelStore, FailedDeleteReportsTheErrorAndKeepsTheActiveChoice)
{
    const QString folder = store.modelPath(WhisperModel::largeV3);
    ASSERT_TRUE(QDir().mkpath(folder));
    const UndeletableContents guard(folder);
    if (!guard.active())
        GTEST_SKIP() << "cannot make a file undeletable here";
    store.setActiveModel(WhisperModel::largeV3);

    const auto error = store.deleteModel(WhisperModel::largeV3);
    ASSERT_TRUE(error);
    EXPECT_FALSE(error->localizedDescription.isEmpty());
    EXPECT_EQ(store.activeModel(), WhisperModel::largeV3);

    std::optional<DomainError> asyncError;
    bool notified = false;
    NotificationObservation observation(
        NotificationName::modelWasDeleted, [&](const Notification&) { notified = true; });
    store.deleteModelAsync(WhisperModel::largeV3, [&](std::optional<DomainError> e) { asyncError = e; });
    ASSERT_TRUE(asyncError);
    EXPECT_EQ(asyncError->domain, "Tallowind");
    EXPECT_EQ(asyncError->code, 4);
    EXPECT_EQ(
        asyncError->localizedDescription, "Failed to delete model at " + folder + ": " + error->localizedDescription);
    EXPECT_FALSE(notified);
    EXPECT_EQ(store.activeModel(), WhisperModel::largeV3);
}

TEST_F(ModelStore, AsynchronousDeleteNotifiesWithTheModel)
{
    std::optional<DomainError> error;
    QVariantMap userInfo;
    const void* sender = nullptr;
    int notifications = 0;
    NotificationObservation observation(NotificationName::modelWasDeleted, [&](const Notification& n) {
        ++notifications;
        userInfo = n.userInfo;
        sender = n.object;
    });

    store.deleteModelAsync(WhisperModel::largeV3TurboQ8, [&](std::optional<DomainError> e) { error = e; });
    ASSERT_TRUE(error);
    EXPECT_EQ(*error, (DomainError{"Tallowind", 3, "Model 'Large v3 Turbo Q8' not found"}));
    EXPECT_EQ(notifications, 0);

    writeModelFile(WhisperModel::largeV3TurboQ8);
    store.setActiveModel(WhisperModel::largeV3TurboQ8);
    bool completed = false;
    store.deleteModelAsync(WhisperModel::largeV3TurboQ8, [&](std::optional<DomainError> e) {
        completed = true;
        error = e;
    });
    EXPECT_TRUE(completed);
    EXPECT_FALSE(error);
    EXPECT_FALSE(store.isModelDownloaded(WhisperModel::largeV3TurboQ8));
    EXPECT_FALSE(store.activeModel());
    EXPECT_EQ(notifications, 1);
    EXPECT_EQ(WhisperModel::fromVariant(userInfo.value(ModelManager::modelUserInfoKey)),
        WhisperModel(WhisperModel::largeV3TurboQ8));
    EXPECT_EQ(sender, &store);
}

TEST_F(ModelStore, SwitchNeedsTheFileAndAnnouncesTheChange)
{
    std::optional<TallowindError> error;
    QList<std::optional<WhisperModel>> announced;
    const void* sender = nullptr;
    NotificationObservation observation(NotificationName::modelDidChange, [&](const Notification& n) {
        announced << WhisperModel::fromVariant(n.userInfo.value(ModelManager::modelUserInfoKey));
        sender = n.object;
    });

    store.setActiveModel(WhisperModel::largeV3);
    store.switchModel(WhisperModel::largeV3TurboQ5, [&](std::optional<TallowindError> e) { error = e; });
    ASSERT_TRUE(error);
    EXPECT_EQ(*error, TallowindError::modelNotFound("Large v3 Turbo Q5"));
    EXPECT_EQ(store.activeModel(), WhisperModel::largeV3);
    EXPECT_TRUE(announced.isEmpty());

    writeModelFile(WhisperModel::largeV3TurboQ5);
    store.switchModel(WhisperModel::largeV3TurboQ5, [&](std::optional<TallowindError> e) { error = e; });
    EXPECT_FALSE(error);
    EXPECT_EQ(store.activeModel(), WhisperModel::largeV3TurboQ5);
    EXPECT_EQ(announced, QList<std::optional<WhisperModel>>{WhisperModel::largeV3TurboQ5});
    EXPECT_EQ(sender, &store);
}

TEST_F(ModelStore, AsynchronousWorkRunsOnTheMainThread)
{
    writeModelFile(WhisperModel::largeV3);
    std::atomic<bool> onMain = false;
    std::atomic<bool> completed = false;
    std::thread worker([&] {
        store.switchModel(WhisperModel::largeV3, [&](std::optional<TallowindError> e) {
            onMain = Dispatch::isMainThread();
            completed = !e;
        });
    });
    worker.join();
    EXPECT_FALSE(completed);
    ASSERT_TRUE(Dispatch::drainMainQueue());
    EXPECT_TRUE(completed);
    EXPECT_TRUE(onMain);
}

TEST_F(ModelStore, EnsureModelLoadedOnlyChecksTheActiveFile)
{
    std::optional<TallowindError> error;
    const auto capture = [&](std::optional<TallowindError> e) { error = e; };

    store.ensureModelLoaded(capture);
    ASSERT_TRUE(error);
    EXPECT_EQ(*error, TallowindError::modelNotFound("No active model selected"));

    store.setActiveModel(WhisperModel::largeV3Turbo);
    store.ensureModelLoaded(capture);
    ASSERT_TRUE(error);
    EXPECT_EQ(*error, TallowindError::modelNotFound("Large v3 Turbo"));

    writeModelFile(WhisperModel::largeV3Turbo);
    store.ensureModelLoaded(capture);
    EXPECT_FALSE(error);

    bool progressed = false;
    store.downloadModel(
        WhisperModel::largeV3, [&](double) { progressed = true; }, capture);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->errorDescription(), "Model download failed: Model download not implemented");
    EXPECT_FALSE(progressed);
}
