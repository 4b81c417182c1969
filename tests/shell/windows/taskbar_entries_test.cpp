#include "shell/windows/TaskbarEntries.h"

#include "support/FakeTaskbarVisibility.h"

#include <QMenu>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

using Policy = ActivationPolicy::Policy;

class TaskbarEntriesTest : public ::testing::Test {
protected:
    std::optional<bool> skips(QWidget& window) const { return visibility->skipsTaskbar(window.windowHandle()); }

    ActivationPolicy policy;
    std::shared_ptr<FakeTaskbarVisibility> visibility = std::make_shared<FakeTaskbarVisibility>();
};

} // namespace

TEST_F(TaskbarEntriesTest, WindowsThereAndWindowsShownLaterFollowThePolicy)
{
    QWidget before(nullptr, Qt::Window);
    before.show();
    TaskbarEntries entries(policy, visibility);
    EXPECT_EQ(skips(before), true) << "accessory from the start";

    policy.setPolicy(Policy::regular);
    EXPECT_EQ(skips(before), false);
    QWidget later(nullptr, Qt::Window);
    later.show();
    EXPECT_EQ(skips(later), false);

    // A hidden window is told too, and told again when it shows.
    later.hide();
    policy.setPolicy(Policy::accessory);
    EXPECT_EQ(skips(later), true);
    visibility->skips.clear();
    later.show();
    EXPECT_EQ(skips(later), true);
}

// Settings and the welcome window show while the tool is still an
// accessory and make it regular right after: the state they map with is the
// one a panel keeps, so it must already have the entry.
TEST_F(TaskbarEntriesTest, AWindowKeptListedMapsWithItsEntryAndKeepsItUnderEitherPolicy)
{
    TaskbarEntries entries(policy, visibility);
    QWidget kept(nullptr, Qt::Window);
    TaskbarEntries::keepListed(&kept);
    kept.show();
    EXPECT_EQ(skips(kept), false) << "shown while accessory";
    policy.setPolicy(Policy::regular);
    policy.setPolicy(Policy::accessory);
    EXPECT_EQ(skips(kept), false);
}

TEST_F(TaskbarEntriesTest, PanelsStayOutAndMenusAreLeftAlone)
{
    TaskbarEntries entries(policy, visibility);
    policy.setPolicy(Policy::regular);
    QWidget panel(nullptr, Qt::Tool | Qt::FramelessWindowHint);
    panel.show();
    EXPECT_EQ(skips(panel), true);
    QWidget bypassing(nullptr, Qt::Tool | Qt::X11BypassWindowManagerHint);
    bypassing.show();
    QMenu menu;
    menu.addAction(QStringLiteral("Quit"));
    menu.popup(QPoint(10, 10));
    EXPECT_EQ(skips(bypassing), std::nullopt);
    EXPECT_EQ(skips(menu), std::nullopt);
    menu.hide();
}

TEST_F(TaskbarEntriesTest, NothingHappensOnceThePolicyIsGone)
{
    auto owned = std::make_unique<ActivationPolicy>();
    TaskbarEntries entries(*owned, visibility);
    owned.reset();
    QWidget window(nullptr, Qt::Window);
    window.show();
    EXPECT_EQ(visibility->calls, 0);
}
