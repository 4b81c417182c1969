#include "settings/models/GeneralSettingsViewModel.h"
#include "settings/models/LaunchServicesHelper.h"
#include "settings/models/TaskbarPresence.h"

#include "base/Defaults.h"
#include "base/Log.h"
#include "core/config/AppConfig.h"
#include "core/speech/ModelManager.h"
#include "recording/RecordingManager.h"
#include "shell/AppEnvironment.h"
#include "support/SettingsReset.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct RecordingTaskbar : TaskbarPresence {
    void setShowsTaskbarEntry(bool show) override { calls.push_back(show); }
    std::vector<bool> calls;
};

class GeneralSettingsTest : public DefaultsTest {
protected:
    void SetUp() override
    {
        DefaultsTest::SetUp();
        removeAutostartFolder();
    }
    void TearDown() override
    {
        removeAutostartFolder();
        DefaultsTest::TearDown();
    }
    static void removeAutostartFolder()
    {
        const QString folder = QFileInfo(LaunchServicesHelper::autostartEntryPath()).absolutePath();
        QFile::remove(folder);
        QDir(folder).removeRecursively();
    }
    static bool entryExists() { return QFileInfo::exists(LaunchServicesHelper::autostartEntryPath()); }
    // Checks an entry with the desktop's own validator, where it is installed.
    static void expectValidEntry(const QString& path)
    {
        const QString validator = QStandardPaths::findExecutable("desktop-file-validate");
        if (validator.isEmpty())
            return;
        QProcess check;
        check.start(validator, {path});
        ASSERT_TRUE(check.waitForFinished(10000));
        EXPECT_EQ(check.exitCode(), 0) << check.readAllStandardOutput().toStdString();
    }

    AppEnvironment environment{ModelManager::shared(), RecordingManager::shared()};
    std::shared_ptr<RecordingTaskbar> taskbar = std::make_shared<RecordingTaskbar>();
};

} // namespace

TEST_F(GeneralSettingsTest, LoadingShowsTheStoreAndChangesNothing)
{
    AppConfig::setCopyToClipboard(true);
    AppConfig::setLaunchAtLogin(true);
    GeneralSettingsViewModel model(environment, taskbar);
    EXPECT_TRUE(model.launchAtLogin());
    EXPECT_TRUE(model.copyToClipboard());
    EXPECT_EQ(Defaults::open()->allKeys().size(), 2);
    EXPECT_FALSE(entryExists());
    EXPECT_TRUE(taskbar->calls.empty());

    model.setSelectedHotkey("Option+Q");
    EXPECT_EQ(Defaults::open()->allKeys().size(), 2);
}

TEST_F(GeneralSettingsTest, LaunchAtLoginWritesAValidAutostartEntryAndRemovesIt)
{
    GeneralSettingsViewModel model(environment, taskbar);
    model.setLaunchAtLogin(true);
    EXPECT_TRUE(AppConfig::launchAtLogin());
    ASSERT_TRUE(entryExists());
    QFile entry(LaunchServicesHelper::autostartEntryPath());
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    const QByteArray text = entry.readAll();
    EXPECT_TRUE(text.startsWith("[Desktop Entry]\n"));
    EXPECT_TRUE(
        text.contains("Exec=" + LaunchServicesHelper::execArgument(QCoreApplication::applicationFilePath()).toUtf8()));
    expectValidEntry(LaunchServicesHelper::autostartEntryPath());
    // No temporary file is left beside it.
    EXPECT_EQ(QFileInfo(entry).dir().entryList(QDir::Files | QDir::Hidden), QStringList{"tallowind.desktop"});

    model.setLaunchAtLogin(false);
    EXPECT_FALSE(entryExists());
    EXPECT_FALSE(AppConfig::launchAtLogin());
    model.setLaunchAtLogin(false); // nothing to remove: no failure
    EXPECT_FALSE(model.launchAtLogin());
}

TEST_F(GeneralSettingsTest, AnEntryThatCannotBeWrittenRevertsTheSwitchAndSaysWhy)
{
    // A file where the autostart folder should be.
    const QString folder = QFileInfo(LaunchServicesHelper::autostartEntryPath()).absolutePath();
    QDir().mkpath(QFileInfo(folder).absolutePath());
    QFile blocker(folder);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    QStringList lines;
    const int sink = Log::addSink([&](Log::Stream, const QString& line) { lines << line; });
    GeneralSettingsViewModel model(environment, taskbar);
    std::vector<bool> announced;
    QObject::connect(&model, &GeneralSettingsViewModel::launchAtLoginChanged, [&](bool v) { announced.push_back(v); });
    model.setLaunchAtLogin(true);
    Log::removeSink(sink);
    EXPECT_FALSE(model.launchAtLogin());
    EXPECT_FALSE(AppConfig::launchAtLogin());
    EXPECT_EQ(announced, (std::vector<bool>{true, false}));
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines.first().startsWith("[GeneralSettingsViewModel] Could not turn launch at login on"));
}

TEST_F(GeneralSettingsTest, AnEntryThatCannotBeRemovedKeepsTheSwitchOn)
{
    // A folder with something in it cannot be removed as a file.
    QDir().mkpath(LaunchServicesHelper::autostartEntryPath() + "/inside");
    AppConfig::setLaunchAtLogin(true);
    GeneralSettingsViewModel model(environment, taskbar);
    model.setLaunchAtLogin(false);
    EXPECT_TRUE(model.launchAtLogin());
    EXPECT_TRUE(AppConfig::launchAtLogin());
}

TEST_F(GeneralSettingsTest, TaskbarFollowsTheSwitchAndResetAppliesEveryDefaultEvenWhenUnchanged)
{
    GeneralSettingsViewModel model(environment, taskbar);
    model.setShowDockIcon(true);
    EXPECT_TRUE(AppConfig::showDockIcon());
    clearDefaults();
    model.resetToDefaults();
    EXPECT_TRUE(AppConfig::enableSoundEffects());
    EXPECT_TRUE(Defaults::contains("InsertAfterRecording"));
    EXPECT_TRUE(Defaults::contains("LaunchAtLogin"));
    EXPECT_TRUE(Defaults::contains("ShowDockIcon"));
    EXPECT_TRUE(Defaults::contains("CopyToClipboard"));
    EXPECT_EQ(taskbar->calls, (std::vector<bool>{true, false}));
    EXPECT_FALSE(entryExists());
}

TEST(LaunchServicesHelper, ExecArgumentsAreQuotedAndEscaped)
{
    EXPECT_EQ(LaunchServicesHelper::execArgument("/usr/bin/tallowind"), "/usr/bin/tallowind");
    EXPECT_EQ(LaunchServicesHelper::execArgument("/opt/my apps/tallowind"), "\"/opt/my apps/tallowind\"");
    EXPECT_EQ(LaunchServicesHelper::execArgument("/opt/100%/t"), "/opt/100%%/t");
    EXPECT_EQ(LaunchServicesHelper::execArgument("/opt/a$b/t"), "\"/opt/a\\\\$b/t\"");
    EXPECT_EQ(LaunchServicesHelper::execArgument("/opt/a\"b/t"), "\"/opt/a\\\\\"b/t\"");
}

TEST_F(GeneralSettingsTest, AnEntryForAnAwkwardPathIsStillValid)
{
    QTemporaryDir folder;
    const QString path = folder.filePath("tallowind.desktop");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(LaunchServicesHelper::autostartEntry("/opt/my apps/100% \"odd\" $HOME/tallowind"));
    file.close();
    expectValidEntry(path);
}
