// The Settings window's own controls as assistive technology sees them:
// the sidebar as page tabs with their selection, the model cards as radio
// buttons with their checked state, every card button named for its model.
#include "settings/SettingsFixture.h"

#include "settings/SettingsView.h"
#include "settings/tabs/SettingsModelCard.h"
#include "settings/tabs/SettingsModelsTabView.h"
#include "settings/tabs/SettingsTabButton.h"

#include <QAccessible>
#include <QSet>
#include <QToolButton>

namespace {

QAccessibleInterface* accessible(QObject* object)
{
    return QAccessible::queryAccessibleInterface(object);
}

void press(QObject* object)
{
    QAccessibleActionInterface* actions = accessible(object)->actionInterface();
    ASSERT_NE(actions, nullptr);
    ASSERT_TRUE(actions->actionNames().contains(QAccessibleActionInterface::pressAction()));
    actions->doAction(QAccessibleActionInterface::pressAction());
}

} // namespace

TEST_F(SettingsTest, TheSidebarIsPageTabsAndExactlyTheShownPageIsSelected)
{
    SettingsView view;
    for (const SettingsTab shown : SettingsTabs::allCases()) {
        view.setSelectedTab(shown);
        for (const SettingsTab tab : SettingsTabs::allCases()) {
            QAccessibleInterface* entry = accessible(view.tabButton(tab));
            EXPECT_EQ(entry->role(), QAccessible::PageTab);
            EXPECT_TRUE(entry->state().selectable);
            EXPECT_EQ(entry->state().selected, tab == shown) << SettingsTabs::rawValue(tab).toStdString();
        }
    }
    // A screen reader's press opens the page.
    press(view.tabButton(SettingsTab::dictionary));
    EXPECT_EQ(view.selectedTab(), SettingsTab::dictionary);
}

TEST_F(SettingsTest, ModelCardsAreRadiosCheckedByTheChosenModelAndOnlyDownloadedOnesCanBePressed)
{
    putModelFile(WhisperModel::largeV3Turbo);
    putModelFile(WhisperModel::largeV3);
    SettingsView view;
    view.show();
    SettingsModelsTabView* page = view.modelsPage();
    SettingsModelCard* turbo = page->card(WhisperModel::largeV3Turbo);
    SettingsModelCard* large = page->card(WhisperModel::largeV3);
    ASSERT_TRUE(turbo && large);

    press(large);
    ASSERT_TRUE(pumpUntil([&] { return large->isSelected(); }));
    for (SettingsModelCard* card : {turbo, large}) {
        QAccessibleInterface* radio = accessible(card);
        EXPECT_EQ(radio->role(), QAccessible::RadioButton);
        EXPECT_TRUE(radio->state().checkable);
        EXPECT_EQ(radio->state().checked, card == large);
        // The painted circle is the checked state, not a picture of its own.
        for (int index = 0; index < radio->childCount(); ++index)
            EXPECT_NE(radio->child(index)->object(), card->selectionIndicator());
        EXPECT_EQ(radio->indexOfChild(accessible(card->selectionIndicator())), -1);
    }

    int others = 0;
    for (SettingsModelCard* card : page->findChildren<SettingsModelCard*>()) {
        if (card->isDownloaded())
            continue;
        ++others;
        QAccessibleActionInterface* actions = accessible(card)->actionInterface();
        EXPECT_FALSE(actions && actions->actionNames().contains(QAccessibleActionInterface::pressAction()));
    }
    EXPECT_GT(others, 0);
}

TEST_F(SettingsTest, EveryCardButtonSaysWhichModelItActsOn)
{
    putModelFile(WhisperModel::largeV3Turbo);
    SettingsView view;
    view.show();
    QSet<QString> names;
    int buttons = 0;
    for (SettingsModelCard* card : view.modelsPage()->findChildren<SettingsModelCard*>()) {
        const QString modelName = card->model().displayName();
        for (QToolButton* button : {card->deleteButton(), card->downloadButton(), card->stopButton()}) {
            ++buttons;
            EXPECT_TRUE(button->accessibleName().contains(modelName)) << button->accessibleName().toStdString();
            names.insert(button->accessibleName());
        }
    }
    EXPECT_GE(buttons, 6);
    EXPECT_EQ(names.size(), buttons) << "two buttons share a name";
}
