#include "popover/PopoverView.h"

#include "PopoverFixture.h"

#include "popover/ModelPickerButton.h"
#include "popover/ModelPickerPopup.h"
#include "popover/PopoverViewModel.h"
#include "popover/RecordButton.h"
#include "popover/StudioView.h"
#include "popover/SymbolButton.h"
#include "popover/TranscriptPreview.h"
#include "popover/TranscriptText.h"
#include "popover/WaveformView.h"
#include "recording/RecordingManager.h"
#include "shell/ManualClock.h"

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTest>

#include "support/EventLoop.h"

#include <set>

namespace {

class StudioLayout : public PopoverTest {
protected:
    void SetUp() override
    {
        PopoverTest::SetUp();
        writeModelFile(WhisperModel::largeV3TurboQ5);
        viewModel = std::make_shared<PopoverViewModel>(host.get());
        popover = std::make_unique<PopoverView>(viewModel, nullptr, clock.scheduler());
        popover->show();
        studio = popover->studio();
    }
    void TearDown() override
    {
        popover.reset();
        viewModel.reset();
        PopoverTest::TearDown();
    }

    std::unique_ptr<FakePopoverHost> host = std::make_unique<FakePopoverHost>();
    ManualClock clock;
    std::shared_ptr<PopoverViewModel> viewModel;
    std::unique_ptr<PopoverView> popover;
    StudioView* studio = nullptr;
};

TEST(TranscriptTextCount, CountsUserPerceivedCharacters)
{
    const QString family = QString::fromUtf8("\U0001F468\u200D\U0001F469\u200D\U0001F467");
    const QString thumbs = QString::fromUtf8("\U0001F44D\U0001F3FD");
    EXPECT_EQ(TranscriptText::characterCount(family + thumbs + "e\u0301"), 3);
    EXPECT_EQ(TranscriptText::characterCountText("abc"), "3 characters");

    const QString fifty(50, QLatin1Char('a'));
    EXPECT_EQ(TranscriptText::preview(fifty), fifty);
    EXPECT_EQ(TranscriptText::preview(fifty + "b"), fifty + "...");
    // The cut never splits a cluster.
    QString emoji;
    for (int i = 0; i < 51; ++i)
        emoji += thumbs;
    EXPECT_EQ(TranscriptText::preview(emoji), emoji.left(50 * thumbs.size()) + "...");
}

TEST_F(StudioLayout, IdleWithoutATranscriptTheFrameFollowsTheExpandedFlag)
{
    EXPECT_TRUE(studio->preview()->showsPlaceholder());
    EXPECT_FALSE(studio->copyButton()->isVisible());

    viewModel->setExpanded(true);
    EXPECT_EQ(popover->size(), QSize(380, 320));
    EXPECT_TRUE(studio->expandedArea()->isVisible());
    EXPECT_FALSE(studio->statusLine()->isVisible());
    EXPECT_FALSE(studio->characterCountLabel()->isVisible());
    EXPECT_FALSE(studio->clearButton()->isEnabled());
    QTest::mouseClick(studio->collapseButton(), Qt::LeftButton);
    EXPECT_FALSE(viewModel->isExpanded());
    EXPECT_EQ(popover->size(), QSize(380, 80));
    EXPECT_FALSE(studio->expandedArea()->isVisible());
}

TEST_F(StudioLayout, TappingAnEmptyPreviewDoesNotExpand)
{
    QTest::mouseClick(studio->preview(), Qt::LeftButton);
    EXPECT_FALSE(viewModel->isExpanded());

    studio->state().setTranscribedText(QStringLiteral("words"));
    viewModel->setExpanded(false);
    QTest::mouseClick(studio->preview(), Qt::LeftButton);
    EXPECT_TRUE(viewModel->isExpanded());
}

TEST_F(StudioLayout, RecordingShowsTheMeterCollapsedAndTheStatusLineExpanded)
{
    QTest::mouseClick(studio->recordButton(), Qt::LeftButton);
    EXPECT_EQ(host->studioStarts, 1);
    EXPECT_EQ(studio->centre(), StudioView::Centre::levelMeter);
    EXPECT_TRUE(studio->levelMeter()->isScrolling());

    RecordingManager::shared().setAudioLevel(0.5F);
    ASSERT_TRUE(pumpUntil([&] { return studio->levelMeter()->audioHistory()[19] == 0.5; }));

    viewModel->setExpanded(true);
    EXPECT_EQ(studio->centre(), StudioView::Centre::nothing) << "the centre stays empty while expanded";
    EXPECT_TRUE(studio->statusLine()->isVisible());
    for (int tick = 0; tick < 11; ++tick)
        studio->state().timerDidFire();
    EXPECT_EQ(studio->elapsedTimeLabel()->text(), "00:01");

    QTest::mouseClick(studio->recordButton(), Qt::LeftButton);
    EXPECT_EQ(host->studioStops, 1);
    EXPECT_FALSE(studio->statusLine()->isVisible());
    RecordingManager::shared().setAudioLevel(0.0F);
}

TEST_F(StudioLayout, ATranscriptFillsPreviewEditorCountAndCopy)
{
    const QString text = QString(60, QLatin1Char('x'));
    studio->state().setTranscribedText(text);

    EXPECT_TRUE(viewModel->isExpanded());
    EXPECT_EQ(studio->editor()->toPlainText(), text);
    EXPECT_TRUE(studio->clearButton()->isEnabled());
    EXPECT_TRUE(studio->copyButton()->isVisible());
    EXPECT_EQ(studio->preview()->shownText(), TranscriptText::preview(text));

    // Typing in the editor is the transcript at once.
    studio->editor()->setFocus();
    QTest::keyClicks(studio->editor(), "yz");
    EXPECT_EQ(studio->state().transcribedText().size(), 62);
    EXPECT_EQ(studio->characterCountLabel()->text(), "62 characters");

    QTest::mouseClick(studio->copyButton(), Qt::LeftButton);
    EXPECT_EQ(studio->copyButton()->symbolName(), "checkmark");
    clock.advance(1.5);
    EXPECT_EQ(studio->copyButton()->symbolName(), "doc.on.doc");

    QTest::mouseClick(studio->clearButton(), Qt::LeftButton);
    EXPECT_FALSE(viewModel->isExpanded());
    EXPECT_FALSE(studio->copyButton()->isVisible());
    EXPECT_TRUE(studio->preview()->showsPlaceholder());
}

// What moves how: the caller's animation reaches the panel and the studio's
// parts through the current motion transaction.
TEST_F(StudioLayout, ATapSpringsOpenCopyAndClearEaseAndTheRestUseTheirOwnMotion)
{
    const auto isSpring = [](const std::optional<MotionCurve>& curve) {
        const auto* spring = curve ? std::get_if<TallowindTheme::SpringParameters>(&*curve) : nullptr;
        return spring && spring->response == 0.3 && spring->dampingFraction == 0.8;
    };
    const auto isEaseInOut = [](const std::optional<MotionCurve>& curve) {
        const auto* timing = curve ? std::get_if<TallowindTheme::TimingCurve>(&*curve) : nullptr;
        return timing && timing->seconds == 0.2 && timing->curve.type() == QEasingCurve::BezierSpline;
    };

    studio->state().setTranscribedText(QStringLiteral("words"));
    ASSERT_EQ(host->resizes, std::vector<bool>{true});
    EXPECT_FALSE(host->resizeCurves.back().has_value()) << "an arriving transcript expands without an animation";
    QTest::mouseClick(studio->collapseButton(), Qt::LeftButton);
    EXPECT_FALSE(host->resizeCurves.back().has_value());

    QTest::mouseClick(studio->preview(), Qt::LeftButton);
    ASSERT_TRUE(viewModel->isExpanded());
    EXPECT_TRUE(isSpring(host->resizeCurves.back()));
    EXPECT_FALSE(MotionTransaction::current().has_value()) << "the spring ends with the tap";

    std::vector<std::optional<MotionCurve>> alertCurves;
    QObject::connect(&studio->state(), &StudioState::showCopiedAlertChanged, studio,
        [&] { alertCurves.push_back(MotionTransaction::current()); });
    QTest::mouseClick(studio->copyButton(), Qt::LeftButton);
    clock.advance(1.5);
    ASSERT_EQ(alertCurves.size(), 2U);
    EXPECT_TRUE(isEaseInOut(alertCurves[0]) && isEaseInOut(alertCurves[1]));

    QTest::mouseClick(studio->clearButton(), Qt::LeftButton);
    EXPECT_FALSE(viewModel->isExpanded());
    EXPECT_TRUE(isEaseInOut(host->resizeCurves.back()));
}

TEST_F(StudioLayout, ThePickerNamesTheActiveModelAndRefusesModelsNotOnDisk)
{
    EXPECT_EQ(studio->modelButton()->text(), "Select Model");

    studio->showModelMenu();
    ASSERT_TRUE(studio->isModelMenuShown());
    const QList<ModelRowButton*> rows = studio->modelMenu()->rowButtons();
    ASSERT_EQ(rows.size(), 4);
    EXPECT_TRUE(rows[0]->isEnabled());
    EXPECT_FALSE(rows[1]->isEnabled());

    QTest::mouseClick(rows[1], Qt::LeftButton);
    EXPECT_TRUE(studio->isModelMenuShown()) << "a model not on disk neither selects nor closes";
    EXPECT_FALSE(viewModel->activeModel().has_value());

    QTest::mouseClick(rows[0], Qt::LeftButton);
    EXPECT_FALSE(studio->isModelMenuShown());
    ASSERT_TRUE(viewModel->activeModel().has_value());
    EXPECT_EQ(studio->modelButton()->text(), "Large v3 Turbo Q5");
}

TEST_F(StudioLayout, ManageModelsOpensSettingsAndClosesThePicker)
{
    studio->showModelMenu();
    QTest::mouseClick(studio->modelMenu()->manageModelsButton(), Qt::LeftButton);
    EXPECT_EQ(host->settingsOpened, 1);
    EXPECT_FALSE(studio->isModelMenuShown());

    host.reset();
    studio->showModelMenu();
    QTest::mouseClick(studio->modelMenu()->manageModelsButton(), Qt::LeftButton);
    EXPECT_FALSE(studio->isModelMenuShown()) << "closes even when the controller is gone";
}

// Which recordings a close stops is the studio state's test; here only that
// hiding the popover asks it.
TEST_F(StudioLayout, HidingThePopoverStopsTheStudiosRecording)
{
    QTest::mouseClick(studio->recordButton(), Qt::LeftButton);
    popover->hide();
    EXPECT_EQ(host->studioStops, 1);
    EXPECT_FALSE(studio->state().isRecording());
}

// Every control can be reached with Tab and tells assistive technology
// what it is.
TEST_F(StudioLayout, EveryControlIsReachableByKeyboardAndNamed)
{
    studio->state().setTranscribedText(QStringLiteral("some words"));
    ASSERT_TRUE(viewModel->isExpanded());
    popover->activateWindow();
    studio->modelButton()->setFocus();

    std::vector<QWidget*> expected = {studio->modelButton(), studio->preview(), studio->copyButton(),
        studio->recordButton(), studio->editor(), studio->collapseButton(), studio->clearButton()};
    std::set<QWidget*> reached;
    QWidget* current = studio->modelButton();
    for (int step = 0; step < 20 && current; ++step) {
        reached.insert(current);
        current = current->nextInFocusChain();
        while (current && (!current->isVisible() || !current->isEnabled() || current->focusPolicy() == Qt::NoFocus))
            current = current->nextInFocusChain();
    }
    for (QWidget* control : expected) {
        if (control == studio->preview())
            continue; // hidden while expanded
        EXPECT_TRUE(reached.count(control)) << control->accessibleName().toStdString();
        EXPECT_FALSE(control->accessibleName().isEmpty()) << control->metaObject()->className();
        EXPECT_NE(control->focusPolicy() & Qt::TabFocus, 0);
    }
    EXPECT_FALSE(studio->preview()->accessibleName().isEmpty());

    studio->showModelMenu();
    for (ModelRowButton* row : studio->modelMenu()->rowButtons())
        EXPECT_FALSE(row->accessibleName().isEmpty());
    EXPECT_FALSE(studio->modelMenu()->manageModelsButton()->accessibleName().isEmpty());
    studio->modelMenu()->close();
}

} // namespace
