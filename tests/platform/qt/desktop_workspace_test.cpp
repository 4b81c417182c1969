#include "platform/qt/DesktopWorkspace.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// Points PATH at one folder for the duration of a test.
class ScopedPath {
public:
    explicit ScopedPath(const QString& path) : saved(qgetenv("PATH")) { qputenv("PATH", path.toUtf8()); }
    ~ScopedPath() { qputenv("PATH", saved); }

private:
    QByteArray saved;
};

void writeScript(const QString& path, const QString& body)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(("#!/bin/sh\n" + body + "\n").toUtf8());
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

} // namespace

TEST(DesktopWorkspace, MicrophoneSettingsOpenNothingWithoutASoundSettingsProgram)
{
    QTemporaryDir empty;
    ScopedPath path(empty.path());
    DesktopWorkspace workspace;
    EXPECT_TRUE(DesktopWorkspace::soundSettingsCommand().isEmpty());
    EXPECT_FALSE(workspace.openURL(Workspace::microphoneSettingsURL()));
    EXPECT_FALSE(workspace.openURL(QUrl()));
}

TEST(DesktopWorkspace, MicrophoneSettingsStartTheInstalledSoundSettings)
{
    QTemporaryDir bin;
    const QString marker = bin.filePath("arguments");
    writeScript(bin.filePath("pavucontrol"), "echo \"$@\" > '" + marker + "'");
    ScopedPath path(bin.path());

    const QStringList command = DesktopWorkspace::soundSettingsCommand();
    ASSERT_FALSE(command.isEmpty());
    EXPECT_EQ(command.front(), bin.filePath("pavucontrol"));

    DesktopWorkspace workspace;
    ASSERT_TRUE(workspace.openURL(Workspace::microphoneSettingsURL()));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(marker).size() > 0, 5000);
    QFile file(marker);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().trimmed(), QByteArray("--tab=4"));
}
