// The real binary on a desktop whose tray speaks StatusNotifierItem over
// D-Bus, as xfce4-panel, KDE Plasma and GNOME's extension do: the host reads
// the tool's menu from the bus and reports the user's picks back, and an
// activation of the item still opens the popover.
#include "support/EventLoop.h"
#include "support/Patience.h"
#include "support/StatusNotifierHost.h"
#include "support/WindowGeometry.h"

#include <QCoreApplication>
#include <QProcess>

#include <gtest/gtest.h>

namespace {

class TrayStatusNotifier : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY") || qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
            GTEST_SKIP() << "needs the private test session";
        // Qt picks the kind of tray when the icon is made: the host first.
        ASSERT_TRUE(host.start()) << "the watcher's name is taken";
    }

    void TearDown() override
    {
        if (tool.state() == QProcess::NotRunning)
            return;
        tool.kill();
        tool.waitForFinished(Patience::reply);
    }

    StatusNotifierHost host;
    QProcess tool;
};

} // namespace

TEST_F(TrayStatusNotifier, TheHostShowsTheToolsMenuAndItsQuitEndsTheTool)
{
    tool.setProcessChannelMode(QProcess::ForwardedChannels);
    tool.start(QCoreApplication::applicationDirPath() + "/../tallowind", {});
    ASSERT_TRUE(tool.waitForStarted(Patience::reply));
    ASSERT_TRUE(pumpUntil([&] { return !host.registeredItems().isEmpty(); }, Patience::transfer))
        << "the icon did not register with the watcher";
    const QString item = host.registeredItems().first();

    const QString path = host.menuPath(item);
    EXPECT_FALSE(path.isEmpty());
    EXPECT_NE(path, "/NO_DBUSMENU") << "the item exports no menu";
    const QList<StatusNotifierHost::MenuEntry> entries = host.menu(item);
    QStringList titles;
    for (const StatusNotifierHost::MenuEntry& entry : entries) {
        titles.append(entry.title());
        EXPECT_NE(entry.properties.value("enabled"), QVariant(false)) << entry.title().toStdString();
        EXPECT_NE(entry.properties.value("visible"), QVariant(false)) << entry.title().toStdString();
    }
    ASSERT_EQ(titles.join(" | ").toStdString(), "Settings... | -- | Check for Updates... | -- | Quit");

    // The host's left click opens the popover; a pick of "Settings..." opens
    // the Settings window.
    ASSERT_TRUE(host.activate(item, 640, 10));
    EXPECT_TRUE(pumpUntil([] { return panelShown("Tallowind"); }, Patience::reply)) << "no popover";
    ASSERT_TRUE(host.click(item, entries[0].id));
    EXPECT_TRUE(pumpUntil([] { return panelShown("Settings"); }, Patience::reply)) << "no Settings window";

    ASSERT_TRUE(host.click(item, entries[4].id));
    ASSERT_TRUE(pumpUntil([&] { return tool.state() == QProcess::NotRunning; }, Patience::reply))
        << "\"Quit\" did not end the tool";
    EXPECT_EQ(tool.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(tool.exitCode(), 0);
}
