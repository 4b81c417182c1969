#include "settings/SettingsFixture.h"

#include "gallery/GalleryPalettes.h"

#include "settings/SettingsView.h"
#include "settings/UnsavedSettingsNotice.h"
#include "settings/tabs/SettingsModelCard.h"
#include "settings/tabs/SettingsModelsTabView.h"
#include "settings/tabs/SettingsTabButton.h"
#include "shell/theme/SymbolIcons.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEnterEvent>
#include <QSet>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

TEST(SettingsTabs, RawValuesReadBackAndEveryIconIsDrawable)
{
    for (SettingsTab tab : SettingsTabs::allCases()) {
        EXPECT_EQ(SettingsTabs::fromRawValue(SettingsTabs::rawValue(tab)), std::optional<SettingsTab>(tab));
        EXPECT_TRUE(SymbolIcons::contains(SettingsTabs::systemImage(tab)));
    }
    EXPECT_FALSE(SettingsTabs::fromRawValue("Models").has_value());
    EXPECT_FALSE(SettingsTabs::fromRawValue("").has_value());
}

TEST_F(SettingsTest, ChoosingATabSwapsThePageAndKeepsTheSize)
{
    SettingsView view;
    view.show();
    EXPECT_EQ(view.selectedTab(), SettingsTab::models);
    EXPECT_EQ(view.currentPage(), view.modelsPage());
    EXPECT_TRUE(view.tabButton(SettingsTab::models)->isSelected());

    QSignalSpy spy(&view, &SettingsView::selectedTabChanged);
    for (SettingsTab tab :
        {SettingsTab::recordings, SettingsTab::advanced, SettingsTab::dictionary, SettingsTab::models}) {
        QTest::mouseClick(view.tabButton(tab), Qt::LeftButton);
        EXPECT_EQ(view.selectedTab(), tab);
        EXPECT_EQ(view.currentPage(), view.page(tab));
        for (SettingsTab other : SettingsTabs::allCases())
            EXPECT_EQ(view.tabButton(other)->isSelected(), other == tab);
        EXPECT_EQ(view.size(), QSize(850, 540));
    }
    EXPECT_EQ(spy.count(), 4);
}

TEST_F(SettingsTest, HoverLooksOnlyOnButtonsThatAreNotSelected)
{
    SettingsView view;
    view.show();
    SettingsTabButton* selected = view.tabButton(SettingsTab::models);
    SettingsTabButton* plain = view.tabButton(SettingsTab::dictionary);
    const QImage selectedBefore = selected->grab().toImage();
    const QImage plainBefore = plain->grab().toImage();

    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QCoreApplication::sendEvent(selected, &enter);
    QCoreApplication::sendEvent(plain, &enter);
    EXPECT_TRUE(selected->isHovered());
    EXPECT_EQ(selected->grab().toImage(), selectedBefore);
    EXPECT_NE(plain->grab().toImage(), plainBefore);

    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(plain, &leave);
    EXPECT_EQ(plain->grab().toImage(), plainBefore);
}

TEST_F(SettingsTest, EveryShowingReloadsTheModels)
{
    SettingsView view;
    // Nothing is read until the view is shown.
    EXPECT_TRUE(view.viewModel()->models().isEmpty());
    view.show();
    ASSERT_EQ(view.modelsPage()->cards().size(), 4);
    EXPECT_FALSE(view.modelsPage()->card(WhisperModel::largeV3TurboQ8)->isDownloaded());

    view.hide();
    putModelFile(WhisperModel::largeV3TurboQ8);
    ModelManager::shared().setActiveModel(WhisperModel::largeV3TurboQ8);
    view.show();
    SettingsModelCard* card = view.modelsPage()->card(WhisperModel::largeV3TurboQ8);
    EXPECT_TRUE(card->isDownloaded());
    EXPECT_TRUE(card->isSelected());
}

TEST_F(SettingsTest, EveryControlIsReachableByKeyboardAndNamed)
{
    putModelFile(WhisperModel::largeV3Turbo);
    SettingsView view;
    view.show();
    view.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
    view.tabButton(SettingsTab::models)->setFocus();

    // Tab walks the sidebar, then the cards' controls.
    QSet<QWidget*> reached;
    for (int step = 0; step < 40; ++step) {
        QWidget* focused = QApplication::focusWidget();
        ASSERT_NE(focused, nullptr);
        reached.insert(focused);
        EXPECT_FALSE(focused->accessibleName().isEmpty()) << focused->metaObject()->className();
        QTest::keyClick(focused, Qt::Key_Tab);
    }
    for (SettingsTab tab : SettingsTabs::allCases())
        EXPECT_TRUE(reached.contains(view.tabButton(tab)));
    SettingsModelsTabView* page = view.modelsPage();
    EXPECT_TRUE(reached.contains(page->card(WhisperModel::largeV3Turbo)));
    EXPECT_TRUE(reached.contains(page->card(WhisperModel::largeV3Turbo)->deleteButton()));
    EXPECT_TRUE(reached.contains(page->card(WhisperModel::largeV3)->downloadButton()));

    // Space on a sidebar button opens its page.
    view.tabButton(SettingsTab::advanced)->setFocus();
    QTest::keyClick(view.tabButton(SettingsTab::advanced), Qt::Key_Space);
    EXPECT_EQ(view.selectedTab(), SettingsTab::advanced);
}

TEST_F(SettingsTest, SettingsThatCouldNotBeSavedAreNamedAndWrittenWhenTheWindowCloses)
{
    SettingsView view;
    view.show();
    const UnsavedSettingsNotice* notice = view.unsavedSettingsNotice();
    EXPECT_FALSE(notice->isVisible());
    {
        UnwritableSettings refused;
        Defaults::setValue("Dictionary", QStringList{"Tallowind"});
        ASSERT_TRUE(pumpUntil([&] { return notice->isVisible(); }));
        EXPECT_EQ(notice->text(),
            "Settings could not be saved: access denied. Your changes are kept and saved with the next change.");
        EXPECT_EQ(notice->accessibleDescription(), notice->text());
    }
    view.hide();
    EXPECT_TRUE(Defaults::unsavedReason().isEmpty()) << "written when the window closed";
    view.show();
    EXPECT_TRUE(pumpUntil([&] { return !notice->isVisible(); }));
}

// Writes the window's content in light and dark to TALLOWIND_SNAPSHOT_DIR,
// for looking at; skipped without it.
TEST_F(SettingsTest, Snapshots)
{
    const QString folder = qEnvironmentVariable("TALLOWIND_SNAPSHOT_DIR");
    if (folder.isEmpty())
        GTEST_SKIP() << "TALLOWIND_SNAPSHOT_DIR not set";
    putModelFile(WhisperModel::largeV3TurboQ5);
    putModelFile(WhisperModel::largeV3Turbo);
    ModelManager::shared().setActiveModel(WhisperModel::largeV3TurboQ5);
    const QPalette original = QApplication::palette();
    for (const bool dark : {false, true}) {
        QApplication::setPalette(dark ? darkPalette() : lightPalette());
        SettingsView view;
        view.show();
        serveStalled(WhisperModel::largeV3TurboQ8);
        view.viewModel()->downloadModel(WhisperModel::largeV3TurboQ8);
        pumpUntil([&] { return view.viewModel()->downloadStatus(WhisperModel::largeV3TurboQ8).progress() > 0; });
        QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
        QCoreApplication::sendEvent(view.modelsPage()->card(WhisperModel::largeV3Turbo), &enter);
        QCoreApplication::sendEvent(view.tabButton(SettingsTab::recordings), &enter);
        view.modelsPage()->card(WhisperModel::largeV3Turbo)->setFocus();
        pumpFor(50);
        view.grab().save(folder + (dark ? "/settings-dark.png" : "/settings-light.png"));

        // A failure on its card, keyboard focus on a button, an empty page.
        view.viewModel()->deleteModel(WhisperModel::largeV3);
        pumpUntil([&] { return !view.viewModel()->downloadStatus(WhisperModel::largeV3).message().isEmpty(); });
        view.modelsPage()->card(WhisperModel::largeV3TurboQ5)->deleteButton()->setFocus(Qt::TabFocusReason);
        pumpFor(50);
        view.grab().save(folder + (dark ? "/settings-dark-2.png" : "/settings-light-2.png"));
        view.setSelectedTab(SettingsTab::dictionary);
        view.tabButton(SettingsTab::dictionary)->setFocus(Qt::TabFocusReason);
        pumpFor(50);
        view.grab().save(folder + (dark ? "/settings-dark-3.png" : "/settings-light-3.png"));
        view.viewModel()->cancelDownload(WhisperModel::largeV3TurboQ8);
        pumpFor(50);
    }
    QApplication::setPalette(original);
}
