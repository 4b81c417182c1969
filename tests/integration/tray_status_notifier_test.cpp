// The real binary on a desktop whose tray speaks StatusNotifierItem over
// D-Bus, as xfce4-panel, KDE Plasma and GNOME's extension do: the host reads
// the tool's menu from the bus and reports the user's picks back, and an
// activation of the item still opens the popover. A host busy at login, one
// that starts after the tool, or one back after a crash gets the item too;
// so does a watcher that hangs past the item's call limit or refuses it.
#include "platform/qt/QtTrayIcon.h"
#include "platform/qt/StatusNotifierItem.h"
#include "shell/tray/StatusItem.h"
#include "support/EventLoop.h"
#include "support/LogCapture.h"
#include "support/Patience.h"
#include "support/RecordingShellHost.h"
#include "support/StatusNotifierHost.h"
#include "support/WindowGeometry.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QProcess>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

class TrayStatusNotifier : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY") || qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
            GTEST_SKIP() << "needs the private test session";
    }

    void TearDown() override
    {
        host.stop();
        if (tool.state() == QProcess::NotRunning)
            return;
        tool.kill();
        tool.waitForFinished(Patience::reply);
    }

    StatusNotifierHost host;
    QProcess tool;
};

// The entries of an item's menu, as "Settings... | -- | ...".
std::string titlesOf(const QList<StatusNotifierHost::MenuEntry>& entries)
{
    QStringList titles;
    for (const StatusNotifierHost::MenuEntry& entry : entries) {
        titles.append(entry.title());
        EXPECT_NE(entry.properties.value("enabled"), QVariant(false)) << entry.title().toStdString();
        EXPECT_NE(entry.properties.value("visible"), QVariant(false)) << entry.title().toStdString();
    }
    return titles.join(" | ").toStdString();
}

} // namespace

// The panel is busy when the tool starts and answers its watcher's calls
// late: the start goes on without it, and once it answers it has the one
// icon, not one of Qt's beside it. The panel outlives its watcher, which
// comes back slow to answer: a click on the item the panel still shows
// opens the popover, and the watcher gets the item once it answers.
TEST_F(TrayStatusNotifier, AHostBusyAtTheStartShowsOneIconWithTheToolsMenuAndItsQuitEndsTheTool)
{
    ASSERT_TRUE(host.start()) << "the watcher's name is taken";
    QString said;
    // Gone before `said`: no line is read into it after the case.
    QObject reading;
    tool.setProcessChannelMode(QProcess::ForwardedOutputChannel);
    QObject::connect(&tool, &QProcess::readyReadStandardError, &reading, [&] { said += tool.readAllStandardError(); });
    tool.start(QCoreApplication::applicationDirPath() + "/../tallowind", {});
    ASSERT_TRUE(tool.waitForStarted(Patience::reply));
    EXPECT_TRUE(host.busyUntil([] { return panelShown("Welcome to Tallowind"); }, Patience::reply))
        << "the start waited for the watcher";
    ASSERT_TRUE(pumpUntil([&] { return !host.registeredItems().isEmpty(); }, Patience::transfer))
        << "the icon did not register with the watcher";
    const QString item = host.registeredItems().first();

    const QString path = host.menuPath(item);
    EXPECT_FALSE(path.isEmpty());
    EXPECT_NE(path, "/NO_DBUSMENU") << "the item exports no menu";
    const QList<StatusNotifierHost::MenuEntry> entries = host.menu(item);
    ASSERT_EQ(titlesOf(entries), "Settings... | -- | Check for Updates... | -- | Quit");
    EXPECT_EQ(entries[0].properties.value("shortcut").value<QDBusArgument>().currentSignature(), "aas");

    // With the watcher gone (and no tray of the XEmbed kind) the panel's
    // left click opens the popover all the same.
    host.stop();
    ASSERT_TRUE(pumpUntil([&] { return said.contains("No system tray is running"); }, Patience::reply))
        << said.toStdString();
    ASSERT_TRUE(host.activate(item, 640, 10));
    EXPECT_TRUE(pumpUntil([] { return panelShown("Tallowind"); }, Patience::reply)) << "no popover";

    // A click before the watcher back answers leaves the item to be offered.
    const qsizetype asked = host.calls().count("IsStatusNotifierHostRegistered");
    host.stall();
    ASSERT_TRUE(host.start());
    ASSERT_TRUE(
        pumpUntil([&] { return host.calls().count("IsStatusNotifierHostRegistered") > asked; }, Patience::reply));
    ASSERT_TRUE(host.activate(item, 640, 10));
    host.resume();
    ASSERT_TRUE(pumpUntil([&] { return host.registeredItems() == QStringList{item}; }, Patience::reply))
        << "the watcher back never got the item: " << host.calls().join(' ').toStdString();

    // A pick of "Settings..." opens the Settings window.
    ASSERT_TRUE(host.click(item, entries[0].id));
    EXPECT_TRUE(pumpUntil([] { return panelShown("Settings"); }, Patience::reply)) << "no Settings window";
    EXPECT_EQ(host.registeredItems().join(' ').toStdString(), item.toStdString()) << "two icons";

    ASSERT_TRUE(host.click(item, entries[4].id));
    ASSERT_TRUE(pumpUntil([&] { return tool.state() == QProcess::NotRunning; }, Patience::reply))
        << "\"Quit\" did not end the tool";
    EXPECT_EQ(tool.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(tool.exitCode(), 0);
}

// Autostart races the panels: the tool starts with no tray at all; an XEmbed
// tray comes, then a panel of the D-Bus kind, which crashes and comes back.
// Whenever the D-Bus host is there it has the item with its menu, and the
// XEmbed icon gives way to it.
TEST_F(TrayStatusNotifier, AHostThatComesAfterTheToolAndAgainAfterACrashGetsTheItemWithItsMenu)
{
    QString said;
    // Gone before `said`: no line is read into it after the case.
    QObject reading;
    tool.setProcessChannelMode(QProcess::ForwardedOutputChannel);
    QObject::connect(&tool, &QProcess::readyReadStandardError, &reading, [&] { said += tool.readAllStandardError(); });
    tool.start(QCoreApplication::applicationDirPath() + "/../tallowind", {});
    ASSERT_TRUE(tool.waitForStarted(Patience::reply));
    ASSERT_TRUE(pumpUntil([&] { return said.contains("No system tray is running"); }, Patience::transfer))
        << "the tool did not look for a tray: " << said.toStdString();

    QProcess xembedTray;
    xembedTray.start("trayer", {"--edge", "top", "--align", "right", "--widthtype", "request", "--height", "24"});
    ASSERT_TRUE(xembedTray.waitForStarted(Patience::reply));
    const auto xembedIconShown = [&] {
        const QList<QRect> shown = shownWindows({"--pid", QString::number(tool.processId()), "--name", "^Tallowind$"});
        return std::any_of(shown.begin(), shown.end(), [](QRect each) { return each.width() <= 64; });
    };
    EXPECT_TRUE(pumpUntil(xembedIconShown, Patience::transfer)) << "the icon did not dock in trayer";

    const QString trayNow = "A system tray of the StatusNotifier kind is running now";
    for (int round = 1; round <= 2; ++round) {
        SCOPED_TRACE(round == 1 ? "the host starts after the tool" : "the host comes back");
        ASSERT_TRUE(host.start()) << "the watcher's name is taken";
        ASSERT_TRUE(pumpUntil([&] { return !host.registeredItems().isEmpty(); }, Patience::reply))
            << "the icon did not register with the watcher";
        const QString item = host.registeredItems().first();
        EXPECT_EQ(titlesOf(host.menu(item)), "Settings... | -- | Check for Updates... | -- | Quit");
        EXPECT_TRUE(pumpUntil([&] { return said.count(trayNow) == round; }, Patience::reply)) << said.toStdString();
        EXPECT_TRUE(pumpUntil([&] { return !xembedIconShown(); }, Patience::reply)) << "two icons";
        if (round == 2) {
            ASSERT_TRUE(host.activate(item, 640, 10));
            EXPECT_TRUE(pumpUntil([] { return panelShown("Tallowind"); }, Patience::reply)) << "no popover";
        }
        host.stop();
        EXPECT_TRUE(pumpUntil(xembedIconShown, Patience::reply)) << "the XEmbed icon did not come back";
    }
    EXPECT_EQ(said.count(trayNow), 2) << said.toStdString();
    xembedTray.terminate();
    xembedTray.waitForFinished(Patience::reply);
}

// A panel that hangs past the item's call limit takes the registration late.
// The item reads the watcher's list rather than offer itself again, which
// some watchers refuse, and the panel's click then opens the popover.
TEST_F(TrayStatusNotifier, AWatcherThatHangsPastTheCallLimitHasTheItemReadBackAndItsClickOpensThePopover)
{
    ASSERT_TRUE(host.start()) << "the watcher's name is taken";
    host.stallAtNextRegistration();
    host.answerRepeatsAsAlreadyRegistered();
    LogCapture log;
    auto tray = std::make_shared<QtTrayIcon>(StatusNotifierTiming{200, 50, 200});
    RecordingShellHost shell;
    StatusItem status(tray, shell);
    ASSERT_TRUE(pumpUntil([&] { return host.calls().contains("RegisteredStatusNotifierItems"); }, Patience::reply))
        << host.calls().join(' ').toStdString();
    host.resume();
    ASSERT_TRUE(pumpUntil([&] { return status.isOnScreen(); }, Patience::reply))
        << log.systemLines().join('\n').toStdString();
    EXPECT_EQ(host.calls().count("RegisterStatusNotifierItem"), 1) << host.calls().join(' ').toStdString();
    EXPECT_EQ(log.systemLines().filter("is busy").size(), 1);
    EXPECT_TRUE(log.systemLines().filter("did not take").isEmpty());

    const QString item = host.registeredItems().value(0);
    ASSERT_TRUE(host.activate(item, 640, 10));
    ASSERT_TRUE(pumpUntil([&] { return !shell.clicks.empty(); }, Patience::reply));
    EXPECT_EQ(shell.clicks, std::vector<TrayClick>{TrayClick::left});
    // The popover opens only under an icon on screen.
    EXPECT_TRUE(status.isOnScreen());

    // The host leaves while its panel still shows the item: the panel's
    // click still finds the icon on screen.
    host.setHostRegistered(false);
    ASSERT_TRUE(pumpUntil([&] { return !status.isOnScreen(); }, Patience::reply));
    ASSERT_TRUE(host.activate(item, 640, 10));
    ASSERT_TRUE(pumpUntil([&] { return shell.clicks.size() == 2; }, Patience::reply));
    EXPECT_TRUE(status.isOnScreen());
}

// A watcher that refuses the item is offered it again on its own, saying so
// once however often its host speaks; one that has the item already, when
// the panel restarts apart from it, says so by an error that counts as
// taken.
TEST_F(TrayStatusNotifier, AWatcherThatRefusesIsOfferedTheItemAgainAndOneThatHasItAlreadyKeepsIt)
{
    ASSERT_TRUE(host.start()) << "the watcher's name is taken";
    host.refuseRegistrations(1'000);
    host.answerRepeatsAsAlreadyRegistered();
    LogCapture log;
    StatusNotifierItem item(StatusNotifierTiming{Patience::reply, 20, 80});
    item.setActive(true);
    const auto offers = [&] { return host.calls().count("RegisterStatusNotifierItem"); };
    ASSERT_TRUE(pumpUntil([&] { return offers() >= 3; }, Patience::reply)) << "not offered again";
    for (int signal = 0; signal < 5; ++signal)
        host.setHostRegistered(true);
    pumpFor(50);
    EXPECT_EQ(item.state(), StatusNotifierItem::State::refused);
    host.refuseRegistrations(0);
    ASSERT_TRUE(pumpUntil([&] { return item.state() == StatusNotifierItem::State::registered; }, Patience::reply));
    EXPECT_EQ(log.systemLines().filter("did not take").size(), 1) << log.systemLines().join('\n').toStdString();

    host.setHostRegistered(false);
    ASSERT_TRUE(pumpUntil([&] { return item.state() == StatusNotifierItem::State::noHost; }, Patience::reply));
    const int before = offers();
    host.setHostRegistered(true);
    ASSERT_TRUE(pumpUntil([&] { return item.state() == StatusNotifierItem::State::registered; }, Patience::reply));
    EXPECT_EQ(offers(), before + 1);
    EXPECT_EQ(host.registeredItems().size(), 1);
}

// A watcher that refuses the item until a host registers with it: each host
// it announces brings an offer at once, not after the pause that grew with
// the refusals (here longer than any wait of the case).
TEST_F(TrayStatusNotifier, AHostThatComesToARefusingWatcherBringsAnOfferAtOnce)
{
    ASSERT_TRUE(host.start()) << "the watcher's name is taken";
    host.refuseRegistrations(3);
    LogCapture log;
    StatusNotifierItem item(StatusNotifierTiming{Patience::reply, Patience::transfer, 4 * Patience::transfer});
    item.setActive(true);
    const auto offers = [&] { return host.calls().count("RegisterStatusNotifierItem"); };
    for (int refusal = 1; refusal <= 3; ++refusal) {
        ASSERT_TRUE(pumpUntil(
            [&] { return offers() == refusal && item.state() == StatusNotifierItem::State::refused; }, Patience::reply))
            << "no offer after the host's announcement " << refusal - 1 << ": " << host.calls().join(' ').toStdString();
        host.setHostRegistered(true);
    }
    ASSERT_TRUE(pumpUntil([&] { return item.state() == StatusNotifierItem::State::registered; }, Patience::reply))
        << host.calls().join(' ').toStdString();
    EXPECT_EQ(offers(), 4);
    EXPECT_EQ(host.registeredItems().size(), 1);
    EXPECT_EQ(log.systemLines().filter("did not take").size(), 1) << log.systemLines().join('\n').toStdString();
}
