#include "shell/tray/StatusItem.h"

#include "support/FakeTrayIcon.h"
#include "support/LogCapture.h"
#include "support/RecordingShellHost.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QMenu>
#include <QPointer>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

QAction* entry(QMenu* menu, const QString& title)
{
    for (QAction* action : menu->actions())
        if (action->text() == title)
            return action;
    return nullptr;
}

// The mean lightness of the icon's well-covered pixels.
int inkLightness(const QIcon& icon)
{
    const QImage image = icon.pixmap(22).toImage().convertToFormat(QImage::Format_ARGB32);
    long sum = 0;
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y).alpha() > 200) {
                sum += image.pixelColor(x, y).lightness();
                ++count;
            }
    return count ? static_cast<int>(sum / count) : -1;
}

class StatusItemTest : public ::testing::Test {
protected:
    std::shared_ptr<FakeTrayIcon> tray = std::make_shared<FakeTrayIcon>();
    RecordingShellHost host;
};

} // namespace

TEST_F(StatusItemTest, HandsBothClicksToTheHostAndEachStateDrawsItsOwnIcon)
{
    StatusItem item(tray, host);
    EXPECT_TRUE(tray->shown);
    tray->click(TrayClick::left);
    tray->click(TrayClick::right);
    tray->click(TrayClick::left);
    EXPECT_EQ(host.clicks, (std::vector<TrayClick>{TrayClick::left, TrayClick::right, TrayClick::left}));

    const QImage idleImage = tray->icon.pixmap(22).toImage();
    EXPECT_FALSE(idleImage.isNull());
    item.setSymbolName("mic.circle.fill");
    const QImage recordingImage = tray->icon.pixmap(22).toImage();
    item.setSymbolName("mic.badge.ellipsis");
    const QImage transcribingImage = tray->icon.pixmap(22).toImage();
    EXPECT_NE(idleImage, recordingImage);
    EXPECT_NE(recordingImage, transcribingImage);
    EXPECT_NE(idleImage, transcribingImage);

    // Drawn once: every new icon would have its pixels made and cached anew.
    const qint64 transcribingKey = tray->icon.cacheKey();
    item.setSymbolName("mic.circle");
    const qint64 idleKey = tray->icon.cacheKey();
    item.setSymbolName("mic.badge.ellipsis");
    EXPECT_EQ(tray->icon.cacheKey(), transcribingKey);
    item.setSymbolName("mic.circle");
    EXPECT_EQ(tray->icon.cacheKey(), idleKey);
}

TEST_F(StatusItemTest, ContextMenuHasItsThreeEntriesAndShortcutsAndEachReachesItsReceiver)
{
    auto item = std::make_unique<StatusItem>(tray, host);
    // Set on the icon from the start, for tray hosts that draw it themselves.
    QPointer<QMenu> menu = tray->contextMenu;
    ASSERT_FALSE(menu.isNull());
    item->showContextMenu();
    item->showContextMenu();
    EXPECT_EQ(tray->menuPopUps, 2);
    EXPECT_EQ(tray->contextMenu.data(), menu.data()) << "one menu for every right click";

    QStringList layout;
    for (QAction* action : menu->actions())
        layout.append(action->isSeparator() ? QStringLiteral("--") : action->text());
    EXPECT_EQ(layout, QStringList({"Settings...", "--", "Check for Updates...", "--", "Quit"}));
    EXPECT_EQ(entry(menu, "Settings...")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Comma));
    EXPECT_TRUE(entry(menu, "Check for Updates...")->shortcut().isEmpty());
    EXPECT_EQ(entry(menu, "Quit")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));

    entry(menu, "Settings...")->trigger();
    entry(menu, "Check for Updates...")->trigger();
    EXPECT_EQ(host.settings, 1);
    EXPECT_EQ(host.updateChecks, 1);
    EXPECT_TRUE(host.clicks.empty());

    // "Quit" ends the application's event loop.
    QAction* quit = entry(menu, "Quit");
    bool quitRan = false;
    QTimer::singleShot(0, [&] {
        quitRan = true;
        quit->trigger();
    });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(7); });
    watchdog.start(5000);
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_TRUE(quitRan);

    // The icon outlives the item: it is left holding no menu of the item's.
    item.reset();
    EXPECT_TRUE(tray->contextMenu.isNull());
    EXPECT_TRUE(menu.isNull());
}

TEST_F(StatusItemTest, WithoutATrayHostItSaysOnceThatTheShortcutsAreTheWayIn)
{
    tray->hostAvailable = false;
    LogCapture log;
    StatusItem item(tray, host);
    item.setSymbolName("mic.circle.fill");
    item.setSymbolName("mic.circle");
    const QStringList said = log.systemLines().filter("[StatusItem] No system tray");
    ASSERT_EQ(said.size(), 1);
    // Shown at every start on such a desktop: it fits an 80-column terminal.
    EXPECT_LE(said.first().size(), 80) << said.first().toStdString();
    EXPECT_FALSE(item.isOnScreen());

    tray->hostAvailable = true;
    EXPECT_TRUE(item.isOnScreen());
}

TEST_F(StatusItemTest, ATrayHostThatTurnsOutAbsentAfterTheStartIsSaidOnce)
{
    // A watcher that had yet to answer counts as a host at the start.
    LogCapture log;
    StatusItem item(tray, host);
    EXPECT_TRUE(log.systemLines().filter("No system tray").isEmpty());

    tray->setHostAvailable(false);
    tray->setHostAvailable(true);
    tray->setHostAvailable(false);
    EXPECT_EQ(log.systemLines().filter("No system tray").size(), 1);
}

TEST_F(StatusItemTest, TheIconFollowsThePanelBehindItNotTheApplicationsScheme)
{
    // A dark application on a light panel, then a dark panel.
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(38, 38, 42));
    dark.setColor(QPalette::WindowText, QColor(235, 235, 240));
    QApplication::setPalette(dark);
    // Not docked yet, the panel unknown: a dark glyph in a light outline,
    // which reads on either panel.
    tray->panel.reset();
    StatusItem item(tray, host);
    const int unknown = inkLightness(tray->icon);
    EXPECT_GT(unknown, 60);
    EXPECT_LT(unknown, 200);

    tray->panel = QColor(240, 240, 240);
    item.setSymbolName("mic.circle.fill");
    EXPECT_LT(inkLightness(tray->icon), 60);

    // A right click's menu may cover the icon: the panel is not read then.
    tray->panel = QColor(30, 30, 34);
    tray->click(TrayClick::right);
    EXPECT_LT(inkLightness(tray->icon), 60);
    // A left click on the docked icon is a moment its panel is read again.
    tray->click(TrayClick::left);
    EXPECT_GT(inkLightness(tray->icon), 200);
    // A state change keeps what the click read, without another grab.
    tray->panel = QColor(240, 240, 240);
    item.setSymbolName("mic.circle");
    EXPECT_GT(inkLightness(tray->icon), 200);
    QApplication::setPalette(QPalette());
}
