// Revealing a file or opening a folder on the session bus: the file manager's
// ShowItems or ShowFolders when one answers, else the folder opened through
// the desktop's URL handler.
#include "platform/qt/DesktopWorkspace.h"
#include "support/EventLoop.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

namespace {

class FakeFileManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public slots:
    void ShowItems(const QStringList& uris, const QString& startupId)
    {
        shown = uris;
        startup = startupId;
        ++calls;
    }
    void ShowFolders(const QStringList& uris, const QString& startupId)
    {
        shownFolders = uris;
        startup = startupId;
        ++calls;
    }

public:
    QStringList shownFolders;
    QStringList shown;
    QString startup;
    int calls = 0;
};

const QString service = QStringLiteral("org.freedesktop.FileManager1");
const QString objectPath = QStringLiteral("/org/freedesktop/FileManager1");

class WorkspaceReveal : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!QDBusConnection::sessionBus().isConnected())
            GTEST_SKIP() << "needs the private test session";
        ASSERT_TRUE(folder.isValid());
        file = folder.filePath("a recording.wav");
        QFile created(file);
        ASSERT_TRUE(created.open(QIODevice::WriteOnly));
    }

    QTemporaryDir folder;
    QString file;
};

TEST_F(WorkspaceReveal, AskTheFileManagerToShowTheFileOrFolder)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    FakeFileManager manager;
    ASSERT_TRUE(bus.registerObject(objectPath, &manager, QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(bus.registerService(service));

    DesktopWorkspace workspace;
    EXPECT_TRUE(workspace.revealFile(file));
    ASSERT_TRUE(pumpUntil([&] { return manager.calls == 1; }, 5000));
    EXPECT_EQ(manager.shown, QStringList{QUrl::fromLocalFile(file).toString()});
    EXPECT_TRUE(manager.startup.isEmpty());

    // A folder goes to the file manager too: without xdg-utils the URL
    // handler would give it to a web browser.
    EXPECT_TRUE(workspace.openURL(QUrl::fromLocalFile(folder.path())));
    ASSERT_TRUE(pumpUntil([&] { return manager.calls == 2; }, 5000));
    EXPECT_EQ(manager.shownFolders, QStringList{QUrl::fromLocalFile(folder.path()).toString()});

    bus.unregisterService(service);
    bus.unregisterObject(objectPath);
}

TEST_F(WorkspaceReveal, WithoutAFileManagerTheFolderIsOpened)
{
    ASSERT_FALSE(QDBusConnection::sessionBus().interface()->isServiceRegistered(service).value());
    // The desktop's URL handler, replaced by a script that notes its argument.
    QTemporaryDir bin;
    const QString marker = bin.filePath("opened");
    const QString script = bin.filePath("xdg-open");
    {
        QFile handler(script);
        ASSERT_TRUE(handler.open(QIODevice::WriteOnly));
        handler.write(("#!/bin/sh\necho \"$@\" > '" + marker + "'\n").toUtf8());
    }
    QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QByteArray savedPath = qgetenv("PATH");
    qputenv("PATH", bin.path().toUtf8() + ":" + savedPath);

    DesktopWorkspace workspace;
    EXPECT_TRUE(workspace.revealFile(file));
    const bool opened = pumpUntil([&] { return QFileInfo(marker).size() > 0; }, 10000);
    qputenv("PATH", savedPath);
    ASSERT_TRUE(opened);
    QFile noted(marker);
    ASSERT_TRUE(noted.open(QIODevice::ReadOnly));
    const QString argument = QString::fromUtf8(noted.readAll().trimmed());
    EXPECT_TRUE(argument == folder.path() || argument == QUrl::fromLocalFile(folder.path()).toString())
        << argument.toStdString();
}

} // namespace

#include "workspace_reveal_test.moc"
