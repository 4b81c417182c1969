// The recording indicator as the controller drives it: shown next to the
// focused field by a shortcut recording, moved with the field, hidden when
// the recording ends, and its buttons ending that recording.
#include "DictationFixture.h"

#include "platform/HotkeyTap.h"
#include "shell/indicator/IndicatorPlacement.h"
#include "shell/indicator/RecordingIndicatorPanel.h"
#include "shell/indicator/RecordingProgressView.h"
#include "support/FakeFocusSource.h"
#include "support/FakeFrontmostApplication.h"

#include <QAbstractButton>
#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

namespace {

constexpr int64_t targetPid = 4242;

FocusedElement fieldAt(uint64_t id, const QRectF& bounds)
{
    FocusedElement element;
    element.elementId = id;
    element.processId = targetPid;
    element.role = FocusRole::entry;
    element.bounds = bounds;
    return element;
}

class AppDelegateIndicatorTest : public DictationTest {
protected:
    void SetUp() override
    {
        DictationTest::SetUp();
        services.focusSource = focus;
        services.frontmostApplication = frontmost;
        frontmost->pid = targetPid;
        controller = std::make_unique<AppDelegate>(services);
    }

    void press() { controller->handleGlobalEvent(HotkeyEvent{HotkeyEvent::Type::keyDown, keyW, option}); }
    void release() { controller->handleGlobalEvent(HotkeyEvent{HotkeyEvent::Type::keyUp, keyW, option}); }

    static QList<RecordingIndicatorPanel*> panels()
    {
        QList<RecordingIndicatorPanel*> found;
        for (QWidget* window : QApplication::topLevelWidgets())
            if (auto* panel = qobject_cast<RecordingIndicatorPanel*>(window))
                found.append(panel);
        return found;
    }

    static QPoint originNear(const std::optional<QRectF>& field)
    {
        return IndicatorPlacement::originFor(QSize(220, 56), field, IndicatorPlacement::desktopScreens());
    }

    std::shared_ptr<FakeFocusSource> focus = std::make_shared<FakeFocusSource>();
    std::shared_ptr<FakeFrontmostApplication> frontmost = std::make_shared<FakeFrontmostApplication>();
};

} // namespace

TEST_F(AppDelegateIndicatorTest, AShortcutRecordingShowsThePanelByTheFieldFollowsItAndHidesAfter)
{
    const QRectF first(300, 300, 200, 30);
    focus->focus = fieldAt(1, first);
    press();
    ASSERT_TRUE(controller->isRecording());
    Dispatch::drainMainQueue();
    ASSERT_EQ(panels().size(), 1);
    RecordingIndicatorPanel* panel = panels().front();
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(panel->pos(), originNear(first));
    EXPECT_TRUE(focus->hasChangeHandler()) << "the field is watched while the recording runs";

    // The field moves: the panel goes with it.
    const QRectF second(300, 450, 200, 30);
    focus->focusMoved(fieldAt(2, second));
    EXPECT_TRUE(waitFor(
        [&] {
            focus->answerAll();
            return panel->pos() == originNear(second);
        },
        5000));
    // The focus leaves text inputs: the panel stays up, at the fallback spot.
    focus->focusMoved(std::nullopt);
    EXPECT_TRUE(waitFor(
        [&] {
            focus->answerAll();
            return panel->pos() == originNear(std::nullopt);
        },
        5000));
    EXPECT_TRUE(panel->isVisible());

    release();
    Dispatch::drainMainQueue();
    EXPECT_FALSE(controller->isRecording());
    EXPECT_FALSE(panel->isVisible());
    EXPECT_FALSE(focus->hasChangeHandler()) << "nothing is watched between recordings";

    // The next recording reuses the panel.
    focus->focus = fieldAt(3, first);
    press();
    Dispatch::drainMainQueue();
    EXPECT_EQ(panels().size(), 1);
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(panel->pos(), originNear(first));
    release();
    Dispatch::drainMainQueue();
    EXPECT_FALSE(panel->isVisible());
}

TEST_F(AppDelegateIndicatorTest, TheIndicatorsButtonsEndTheShortcutRecording)
{
    focus->focus = fieldAt(1, QRectF(300, 300, 200, 30));
    press();
    Dispatch::drainMainQueue();
    ASSERT_EQ(panels().size(), 1);
    RecordingIndicatorPanel* panel = panels().front();
    QTest::mouseClick(panel->view()->cancelButton(), Qt::LeftButton);
    Dispatch::drainMainQueue();
    EXPECT_FALSE(controller->isRecording()) << "Cancel ends the recording";
    EXPECT_FALSE(panel->isVisible());
    EXPECT_FALSE(controller->recordingStateManager().currentState().isActive);
    // Letting go of the shortcut afterwards starts nothing and ends nothing.
    release();
    Dispatch::drainMainQueue();
    EXPECT_FALSE(controller->isRecording());

    press();
    Dispatch::drainMainQueue();
    ASSERT_TRUE(controller->isRecording());
    ASSERT_TRUE(panel->isVisible());
    deliver(std::vector<float>(4800, 0.0f));
    QTest::mouseClick(panel->view()->finishButton(), Qt::LeftButton);
    Dispatch::drainMainQueue();
    EXPECT_FALSE(controller->isRecording()) << "Finish ends the recording";
    EXPECT_FALSE(panel->isVisible());
    release();
    Dispatch::drainMainQueue();
    EXPECT_FALSE(controller->isRecording());
}

TEST_F(AppDelegateIndicatorTest, ARecordingRefusedBeforeTheIndicatorCameUpLeavesNothingShowingOrWatching)
{
    permission->authorization = MicrophoneAuthorization::Denied;
    focus->focus = fieldAt(1, QRectF(300, 300, 200, 30));
    press();
    EXPECT_FALSE(controller->isRecording());
    Dispatch::drainMainQueue();
    for (RecordingIndicatorPanel* panel : panels())
        EXPECT_FALSE(panel->isVisible());
    EXPECT_FALSE(focus->hasChangeHandler());
}

TEST_F(AppDelegateIndicatorTest, StudioRecordingsShowNoIndicatorAndHidingThenIsHarmless)
{
    begin(RecordingMode::studio);
    Dispatch::drainMainQueue();
    for (RecordingIndicatorPanel* panel : panels())
        EXPECT_FALSE(panel->isVisible());
    controller->cancelRecording();
    EXPECT_TRUE(Dispatch::drainMainQueue());
    for (RecordingIndicatorPanel* panel : panels())
        EXPECT_FALSE(panel->isVisible());
}
