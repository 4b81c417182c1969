#include "settings/SettingsViewModel.h"
#include "settings/recordings/RecordingActionsDelegate.h"
#include "settings/recordings/RecordingsCatalog.h"
#include "settings/recordings/RecordingsTableModel.h"
#include "settings/shortcuts/KeyboardShortcutCaptureView.h"
#include "settings/tabs/AdvancedTab.h"
#include "settings/tabs/DictionaryTab.h"
#include "settings/tabs/RecordingsTab.h"

#include "core/config/AppConfig.h"
#include "core/input/KeyboardShortcutManager.h"
#include "settings/LibraryFixture.h"
#include "support/FakeWorkspace.h"
#include "support/Patience.h"

#include "gallery/GalleryPalettes.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QProxyStyle>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <QToolTip>

#include <gtest/gtest.h>

#include <memory>

namespace {

// The tab area of the 850 x 540 window beside its 180-point sidebar.
constexpr QSize tabSize(670, 540);

class SettingsTabsTest : public SettingsFixture {
protected:
    void SetUp() override
    {
        SettingsFixture::SetUp();
        KeyboardShortcutManager::shared().loadShortcuts();
        model = std::make_unique<SettingsViewModel>();
    }
    void TearDown() override
    {
        model.reset();
        KeyboardShortcutManager::shared().resetToDefaults();
        SettingsFixture::TearDown();
    }

    template <typename Tab> std::unique_ptr<Tab> show()
    {
        auto tab = std::make_unique<Tab>(model.get());
        tab->resize(tabSize);
        tab->show();
        return tab;
    }

    void addSidecarRecordings(int count)
    {
        for (int i = 0; i < count; ++i) {
            const QString base = QStringLiteral("take_2024_m%1").arg(i);
            writeFile(pathOf(base + ".wav"), "RIFF");
            writeFile(pathOf(base + ".txt"), QByteArray("text ") + QByteArray::number(i));
        }
        model->loadInitialData();
        ASSERT_TRUE(waitForRows(count));
    }

    // The list is read off the GUI thread: wait for it to arrive.
    bool waitForRows(int count)
    {
        return QTest::qWaitFor([&] { return model->recordings().size() == count; }, 10000);
    }

    // Clicks one of the icons the table draws in a row's actions cell, with
    // the pointer moving a little while the button is down, as a hand does.
    static void clickAction(SettingsRecordingsTabView& tab, int row, RecordingActionsDelegate::Action action)
    {
        QTableView* table = tab.table();
        const QPoint at = actionPoint(tab, row, action);
        QTest::mousePress(table->viewport(), Qt::LeftButton, {}, at);
        QMouseEvent move(QEvent::MouseMove, at + QPoint(1, 1), table->viewport()->mapToGlobal(at + QPoint(1, 1)),
            Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(table->viewport(), &move);
        QTest::mouseRelease(table->viewport(), Qt::LeftButton, {}, at + QPoint(1, 1));
    }

    // The second click of a double-click on an icon, as the platform sends
    // it after the first: a press, the double-click event, the release.
    static void clickActionAgain(SettingsRecordingsTabView& tab, int row, RecordingActionsDelegate::Action action)
    {
        QWidget* viewport = tab.table()->viewport();
        const QPoint at = actionPoint(tab, row, action);
        QTest::mousePress(viewport, Qt::LeftButton, {}, at);
        QTest::mouseDClick(viewport, Qt::LeftButton, {}, at);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);
    }

    static QPoint actionPoint(SettingsRecordingsTabView& tab, int row, RecordingActionsDelegate::Action action)
    {
        QTableView* table = tab.table();
        const QRect cell = table->visualRect(table->model()->index(row, SettingsRecordingsTabView::actionsColumn));
        return RecordingActionsDelegate::actionRect(cell, action).center();
    }

    std::unique_ptr<SettingsViewModel> model;
};

TEST_F(SettingsTabsTest, DictionaryFieldAddsAndClearsAndTheEmptyStateFollowsTheList)
{
    auto tab = show<SettingsDictionaryTabView>();
    EXPECT_TRUE(tab->isEmptyStateShown());
    EXPECT_FALSE(tab->addButton()->isEnabled());

    // Return in an empty field does nothing.
    QTest::keyClick(tab->wordField(), Qt::Key_Return);
    EXPECT_FALSE(Defaults::contains(QStringLiteral("WhisperDictionaryWords")));

    // Blanks enable the button, are ignored by the model, and clear the field.
    QTest::keyClicks(tab->wordField(), QStringLiteral("   "));
    EXPECT_TRUE(tab->addButton()->isEnabled());
    QTest::mouseClick(tab->addButton(), Qt::LeftButton);
    EXPECT_TRUE(tab->wordField()->text().isEmpty());
    EXPECT_TRUE(model->dictionaryWords().isEmpty());

    for (const QString& word : {QStringLiteral(" zeta "), QStringLiteral("Alpha")}) {
        QTest::keyClicks(tab->wordField(), word);
        QTest::keyClick(tab->wordField(), Qt::Key_Return);
    }
    EXPECT_TRUE(tab->wordField()->text().isEmpty());
    EXPECT_FALSE(tab->isEmptyStateShown());
    ASSERT_EQ(tab->wordList()->count(), 2);
    EXPECT_EQ(tab->wordList()->item(0)->text(), QStringLiteral("Alpha"));
    EXPECT_EQ(tab->wordList()->item(1)->text(), QStringLiteral("zeta"));
}

TEST_F(SettingsTabsTest, DictionaryRemovesEverySelectedWord)
{
    AppConfig::setWhisperDictionaryWords({"a", "b", "c"});
    model->loadInitialData();
    auto tab = show<SettingsDictionaryTabView>();
    EXPECT_FALSE(tab->contextMenu()->actions().first()->isEnabled());

    tab->wordList()->item(0)->setSelected(true);
    tab->wordList()->item(2)->setSelected(true);
    QAction* remove = tab->contextMenu()->actions().first();
    ASSERT_TRUE(remove->isEnabled());
    remove->trigger();
    EXPECT_EQ(model->dictionaryWords(), QStringList{"b"});
    EXPECT_EQ(AppConfig::whisperDictionaryWords(), QStringList{"b"});
    EXPECT_TRUE(tab->wordList()->selectedItems().isEmpty());
}

TEST_F(SettingsTabsTest, RecordingsSwitchesAndTheEmptyState)
{
    auto workspace = std::make_shared<FakeWorkspace>();
    AppConfig::setShowInFinderAfterSaving(true);
    model = std::make_unique<SettingsViewModel>();
    model->setWorkspace(workspace);
    auto tab = show<SettingsRecordingsTabView>();

    // Nothing is listed yet: no empty state until the listing says so.
    EXPECT_FALSE(tab->isEmptyStateShown());
    EXPECT_FALSE(tab->clearAllButton()->isEnabled());
    model->loadInitialData();
    ASSERT_TRUE(QTest::qWaitFor([&] { return model->recordingsListed(); }, Patience::reply));
    EXPECT_TRUE(tab->isEmptyStateShown());
    EXPECT_FALSE(tab->clearAllButton()->isEnabled());
    EXPECT_FALSE(tab->showAfterSavingSwitch()->isEnabled());
    EXPECT_TRUE(tab->showAfterSavingSwitch()->isChecked());
    EXPECT_EQ(tab->locationLabel()->text(), folder);

    tab->savingSwitch()->click();
    EXPECT_TRUE(AppConfig::enableRecordingSaving());
    EXPECT_TRUE(tab->showAfterSavingSwitch()->isEnabled());
    tab->showAfterSavingSwitch()->click();
    EXPECT_FALSE(AppConfig::showInFinderAfterSaving());

    tab->openFolderButton()->click();
    EXPECT_EQ(workspace->opened, QList<QUrl>{QUrl::fromLocalFile(folder)});
}

TEST_F(SettingsTabsTest, ClearAllAsksWithTheCountAndCancelKeepsEverything)
{
    addSidecarRecordings(3);
    auto tab = show<SettingsRecordingsTabView>();
    ASSERT_FALSE(tab->isEmptyStateShown());
    ASSERT_EQ(tab->tableModel()->rowCount(), 3);

    tab->clearAllButton()->click();
    QMessageBox* box = tab->clearConfirmation();
    ASSERT_TRUE(box);
    EXPECT_TRUE(box->text().contains(QStringLiteral("all 3 recordings"))) << box->text().toStdString();
    box->button(QMessageBox::Cancel)->click();
    EXPECT_EQ(model->recordings().size(), 3);
    EXPECT_FALSE(tab->clearConfirmation());

    tab->clearAllButton()->click();
    QAbstractButton* clear = nullptr;
    for (QAbstractButton* button : tab->clearConfirmation()->buttons())
        if (button->text() == QStringLiteral("Clear All"))
            clear = button;
    ASSERT_TRUE(clear);
    clear->click();
    ASSERT_TRUE(waitForRows(0));
    EXPECT_TRUE(tab->isEmptyStateShown());
    EXPECT_FALSE(tab->clearAllButton()->isEnabled());
}

TEST_F(SettingsTabsTest, RowButtonsAndTheContextMenuActOnRecordings)
{
    auto workspace = std::make_shared<FakeWorkspace>();
    model->setWorkspace(workspace);
    addSidecarRecordings(4);
    auto tab = show<SettingsRecordingsTabView>();
    QMenu* menu = tab->contextMenu();
    ASSERT_EQ(menu->actions().size(), 3);
    EXPECT_FALSE(menu->actions().at(0)->isEnabled());
    EXPECT_FALSE(menu->actions().at(2)->isEnabled());

    // The icons name themselves.
    QTableView* table = tab->table();
    const QRect cell = table->visualRect(table->model()->index(0, SettingsRecordingsTabView::actionsColumn));
    const std::pair<RecordingActionsDelegate::Action, QString> tips[] = {
        {RecordingActionsDelegate::Action::reveal, QStringLiteral("Show in File Manager")},
        {RecordingActionsDelegate::Action::remove, QStringLiteral("Delete recording")}};
    for (const auto& [action, tip] : tips) {
        const QPoint at = RecordingActionsDelegate::actionRect(cell, action).center();
        QHelpEvent help(QEvent::ToolTip, at, table->viewport()->mapToGlobal(at));
        QApplication::sendEvent(table->viewport(), &help);
        EXPECT_EQ(QToolTip::text(), tip);
    }

    // Trash of row 0 deletes at once, without asking; neither icon touches
    // the selection made for "Delete Selected". A double-click on an icon
    // acts once: its second click lands on the row that moved up under the
    // pointer, which stays, and it is not the row's own double-click reveal.
    const auto dateCell = [&](int row) {
        return table->visualRect(table->model()->index(row, SettingsRecordingsTabView::dateColumn)).center();
    };
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, dateCell(2));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::ControlModifier, dateCell(3));
    const QSet<QUuid> chosen = tab->selectedRecordings();
    ASSERT_EQ(chosen.size(), 2);
    const QString firstPath = model->recordings().first().filePath;
    clickAction(*tab, 0, RecordingActionsDelegate::Action::reveal);
    clickActionAgain(*tab, 0, RecordingActionsDelegate::Action::reveal);
    EXPECT_EQ(workspace->revealed, QStringList{firstPath});
    EXPECT_EQ(tab->selectedRecordings(), chosen);
    QSignalSpy removals(tab->actionsDelegate(), &RecordingActionsDelegate::removeClicked);
    clickAction(*tab, 0, RecordingActionsDelegate::Action::remove);
    EXPECT_FALSE(tab->clearConfirmation());
    ASSERT_TRUE(waitForRows(3));
    EXPECT_FALSE(QFile::exists(firstPath));
    EXPECT_EQ(tab->tableModel()->rowCount(), 3);
    const QString movedUp = model->recordings().first().filePath;
    clickActionAgain(*tab, 0, RecordingActionsDelegate::Action::remove);
    EXPECT_EQ(removals.size(), 1);
    EXPECT_TRUE(QFile::exists(movedUp));
    EXPECT_EQ(workspace->revealed, QStringList{firstPath});
    EXPECT_EQ(tab->selectedRecordings(), chosen);

    // Three selected: one is revealed, all three are deleted.
    tab->table()->selectAll();
    EXPECT_EQ(tab->selectedRecordings().size(), 3);
    tab->contextMenu()->actions().at(0)->trigger();
    EXPECT_EQ(workspace->revealed.size(), 2);
    tab->contextMenu()->actions().at(2)->trigger();
    EXPECT_TRUE(tab->selectedRecordings().isEmpty());
    ASSERT_TRUE(waitForRows(0));
    EXPECT_TRUE(tab->isEmptyStateShown());
}

TEST_F(SettingsTabsTest, AdvancedSwitchesResetAlertAndShortcutRows)
{
    auto tab = show<SettingsAdvancedTabView>();
    ASSERT_EQ(tab->shortcutRows().size(), 3);
    EXPECT_FALSE(tab->streamingSwitch()->isChecked());
    EXPECT_TRUE(tab->voiceActivitySwitch()->isChecked());

    tab->streamingSwitch()->click();
    tab->voiceActivitySwitch()->click();
    EXPECT_TRUE(AppConfig::enableStreamingMode());
    EXPECT_FALSE(AppConfig::enableVoiceActivityDetection());

    // Cancel changes nothing; Reset restores the pair and leaves shortcuts.
    KeyboardShortcutManager::shared().updateShortcut(ShortcutAction::quickTranscribe, {0, 0});
    tab->resetToDefaultsButton()->click();
    ASSERT_TRUE(tab->resetConfirmation());
    tab->resetConfirmation()->button(QMessageBox::Cancel)->click();
    EXPECT_TRUE(AppConfig::enableStreamingMode());
    tab->resetToDefaultsButton()->click();
    for (QAbstractButton* button : tab->resetConfirmation()->buttons())
        if (button->text() == QStringLiteral("Reset"))
            button->click();
    EXPECT_FALSE(tab->streamingSwitch()->isChecked());
    EXPECT_TRUE(tab->voiceActivitySwitch()->isChecked());
    EXPECT_FALSE(AppConfig::enableStreamingMode());
    EXPECT_TRUE(AppConfig::enableVoiceActivityDetection());
    EXPECT_EQ(KeyboardShortcutManager::shared().shortcut(ShortcutAction::quickTranscribe), (KeyboardShortcut{0, 0}));
    EXPECT_EQ(tab->shortcutRows().at(0)->captureButton()->text(), QStringLiteral("A"));

    // "Reset Shortcuts" restores the defaults at once and the rows follow.
    tab->resetShortcutsButton()->click();
    EXPECT_EQ(tab->shortcutRows().at(0)->captureButton()->text(), QStringLiteral("Alt+W"));

    // The long shortcuts keep a clear margin inside their buttons.
    QApplication::processEvents();
    for (KeyboardShortcutCaptureView* row : tab->shortcutRows()) {
        const QPushButton* button = row->captureButton();
        const int textWidth = button->fontMetrics().horizontalAdvance(button->text());
        EXPECT_GE(button->width() - textWidth, 2 * 12) << button->text().toStdString();
    }
}

TEST_F(SettingsTabsTest, ARecordingSavedByTheStoreIsListedAndItsTrashRemovesFileAndEntry)
{
    AppConfig::setEnableRecordingSaving(true);
    RecordingManager::shared().saveRecording(
        std::vector<float>(1600, 0.25f), 16000.0, QStringLiteral("hello there"), QStringLiteral("large-v3-turbo-q5_0"));
    RecordingManager::shared().waitForPendingWork();
    ASSERT_EQ(indexNames().size(), 1);
    const QString saved = pathOf(indexNames().first());
    model->loadInitialData();
    ASSERT_TRUE(waitForRows(1));
    auto tab = show<SettingsRecordingsTabView>();
    ASSERT_EQ(tab->tableModel()->rowCount(), 1);
    EXPECT_EQ(
        tab->tableModel()->index(0, SettingsRecordingsTabView::transcriptionColumn).data().toString(), "hello there");

    clickAction(*tab, 0, RecordingActionsDelegate::Action::remove);
    ASSERT_TRUE(waitForRows(0));
    EXPECT_FALSE(QFile::exists(saved));
    EXPECT_TRUE(indexNames().isEmpty());
    EXPECT_TRUE(tab->isEmptyStateShown());
}

TEST_F(SettingsTabsTest, KeysAndNamedButtonsActOnTheSelectedRecordings)
{
    auto workspace = std::make_shared<FakeWorkspace>();
    model->setWorkspace(workspace);
    addSidecarRecordings(3);
    auto tab = show<SettingsRecordingsTabView>();
    QTableView* table = tab->table();
    EXPECT_FALSE(tab->revealSelectedButton()->isEnabled());
    EXPECT_FALSE(tab->deleteSelectedButton()->isEnabled());

    // Tab into the table selects the focused row: the buttons come alive.
    tab->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(tab.get()));
    tab->clearAllButton()->setFocus();
    QTest::keyClick(tab->clearAllButton(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), table);
    EXPECT_EQ(tab->selectedRecordings().size(), 1);
    EXPECT_TRUE(tab->revealSelectedButton()->isEnabled());
    EXPECT_TRUE(tab->deleteSelectedButton()->isEnabled());

    // A single click only selects, even where a click activates; a double
    // click reveals.
    struct ActivatesOnSingleClick : QProxyStyle {
        int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
            QStyleHintReturn* returned) const override
        {
            return hint == SH_ItemView_ActivateItemOnSingleClick
                ? 1
                : QProxyStyle::styleHint(hint, option, widget, returned);
        }
    } activating;
    table->setStyle(&activating);
    const QRect second = table->visualRect(table->model()->index(2, SettingsRecordingsTabView::dateColumn));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, second.center());
    EXPECT_TRUE(workspace->revealed.isEmpty());
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, second.center());
    EXPECT_EQ(workspace->revealed, QStringList{model->recordings().at(2).filePath});
    workspace->revealed.clear();
    table->setStyle(nullptr);

    // The buttons say which recording they act on.
    table->setFocus();
    table->selectRow(1);
    const SettingsViewModel::RecordingInfo chosen = model->recordings().at(1);
    const QString date = tab->tableModel()->index(1, SettingsRecordingsTabView::dateColumn).data().toString();
    EXPECT_TRUE(tab->deleteSelectedButton()->accessibleName().contains(date));
    EXPECT_TRUE(tab->revealSelectedButton()->accessibleName().contains(date));
    EXPECT_TRUE(tab->deleteSelectedButton()->isEnabled());

    QTest::keyClick(table, Qt::Key_Return);
    EXPECT_EQ(workspace->revealed, QStringList{chosen.filePath});

    // Backspace deletes nothing; Delete asks first, naming the count.
    QTest::keyClick(table, Qt::Key_Backspace);
    EXPECT_FALSE(tab->deleteConfirmation());
    QTest::keyClick(table, Qt::Key_Delete);
    ASSERT_TRUE(tab->deleteConfirmation());
    EXPECT_TRUE(tab->deleteConfirmation()->text().contains(QStringLiteral("delete 1 recording?")))
        << tab->deleteConfirmation()->text().toStdString();
    tab->deleteConfirmation()->button(QMessageBox::Cancel)->click();
    EXPECT_FALSE(tab->deleteConfirmation());
    EXPECT_EQ(model->recordings().size(), 3);
    QTest::keyClick(table, Qt::Key_Delete);
    for (QAbstractButton* button : tab->deleteConfirmation()->buttons())
        if (button->text() == QStringLiteral("Delete"))
            button->click();
    ASSERT_TRUE(waitForRows(2));
    EXPECT_FALSE(QFile::exists(chosen.filePath));
    EXPECT_FALSE(tab->deleteSelectedButton()->isEnabled());

    // Two selected: the delete button names the count and removes both.
    table->selectAll();
    EXPECT_TRUE(tab->deleteSelectedButton()->accessibleName().contains(QLatin1String("2")));
    tab->deleteSelectedButton()->click();
    ASSERT_TRUE(waitForRows(0));
    EXPECT_TRUE(tab->isEmptyStateShown());
}

// Every control can be reached with the keyboard and names itself.
TEST_F(SettingsTabsTest, EveryControlIsKeyboardReachableAndNamed)
{
    addSidecarRecordings(1);
    AppConfig::setWhisperDictionaryWords({"a"});
    model->loadInitialData();
    std::vector<std::unique_ptr<QWidget>> tabs;
    tabs.push_back(show<SettingsDictionaryTabView>());
    tabs.push_back(show<SettingsRecordingsTabView>());
    tabs.push_back(show<SettingsAdvancedTabView>());
    for (const auto& tab : tabs) {
        for (QWidget* control : tab->findChildren<QWidget*>()) {
            const bool interactive = qobject_cast<QAbstractButton*>(control) || qobject_cast<QLineEdit*>(control)
                || qobject_cast<QAbstractItemView*>(control);
            // The table's own header and corner are not controls of ours.
            const bool tablePart = qobject_cast<QHeaderView*>(control) || control->inherits("QTableCornerButton");
            if (!interactive || tablePart || !control->isVisibleTo(tab.get()))
                continue;
            const QString name = control->accessibleName().isEmpty()
                ? (qobject_cast<QAbstractButton*>(control) ? qobject_cast<QAbstractButton*>(control)->text()
                                                           : QString())
                : control->accessibleName();
            EXPECT_FALSE(name.isEmpty()) << control->metaObject()->className();
            EXPECT_TRUE(control->focusPolicy() & Qt::TabFocus)
                << control->metaObject()->className() << " " << name.toStdString();
        }
    }
}

// Pictures of every tab for a person to look at; written only when asked.
TEST_F(SettingsTabsTest, Screenshots)
{
    const QString into = qEnvironmentVariable("TALLOWIND_SCREENSHOT_DIR");
    if (into.isEmpty())
        GTEST_SKIP() << "set TALLOWIND_SCREENSHOT_DIR to write the pictures";
    QDir().mkpath(into);
    const QDateTime now = QDateTime::currentDateTime();
    writeIndexed({entry("recording_2024-05-01_10-00-00-000.wav", now, "Short note."),
        entry("recording_2024-05-01_09-00-00-000.wav", now.addSecs(-3600),
            "A much longer transcription that goes on and on so that it needs more than two lines in "
            "the table, which must cut it after the second line with an ellipsis at the end of it.")});
    AppConfig::setWhisperDictionaryWords({"Kubernetes", "Tallowind", "PostgreSQL"});
    for (const bool dark : {false, true}) {
        for (const bool empty : {false, true}) {
            if (empty) {
                QDir(folder).removeRecursively();
                AppConfig::setWhisperDictionaryWords({});
            }
            model->loadInitialData();
            ASSERT_TRUE(QTest::qWaitFor([] { return !RecordingsCatalog::shared().isLoading(); }, 10000));
            std::vector<std::pair<QString, std::unique_ptr<QWidget>>> tabs;
            tabs.emplace_back("dictionary", std::make_unique<SettingsDictionaryTabView>(model.get()));
            tabs.emplace_back("recordings", std::make_unique<SettingsRecordingsTabView>(model.get()));
            if (!empty)
                tabs.emplace_back("advanced", std::make_unique<SettingsAdvancedTabView>(model.get()));
            for (auto& [name, tab] : tabs) {
                tab->setPalette(dark ? darkPalette() : lightPalette());
                tab->setAutoFillBackground(true);
                tab->resize(tabSize);
                tab->show();
                // Show the pressed looks too: an armed row, a selected word.
                if (auto* advanced = qobject_cast<SettingsAdvancedTabView*>(tab.get()))
                    advanced->shortcutRows().at(1)->startCapturing();
                if (auto* recordings = qobject_cast<SettingsRecordingsTabView*>(tab.get()))
                    recordings->table()->selectRow(0);
                if (auto* dictionary = qobject_cast<SettingsDictionaryTabView*>(tab.get());
                    dictionary && dictionary->wordList()->count() > 1)
                    dictionary->wordList()->item(1)->setSelected(true);
                QTest::qWait(10);
                const QString file =
                    QStringLiteral("%1/%2-%3%4.png").arg(into, name, dark ? "dark" : "light", empty ? "-empty" : "");
                EXPECT_TRUE(tab->grab().save(file));
            }
        }
        writeIndexed({entry("recording_2024-05-01_10-00-00-000.wav", now, "Short note.")});
        AppConfig::setWhisperDictionaryWords({"Kubernetes"});
    }
}

} // namespace
