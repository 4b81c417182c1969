#include "shell/indicator/FocusFieldDetector.h"

#include "shell/ManualClock.h"
#include "support/FakeFocusSource.h"
#include "support/FakeFrontmostApplication.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr int64_t ownPid = 1000;
constexpr int64_t editorPid = 2000;

FocusedElement field(QRectF bounds, uint64_t id = 1, FocusRole role = FocusRole::entry)
{
    FocusedElement element;
    element.elementId = id;
    element.processId = editorPid;
    element.role = role;
    element.editable = true;
    element.bounds = bounds;
    element.hasParent = true;
    element.parentBounds = QRectF(0, 0, 1000, 1000); // too large to stand in
    return element;
}

FocusedElement button(uint64_t id = 9)
{
    FocusedElement element = field(QRectF(10, 10, 80, 30), id, FocusRole::other);
    element.editable = false;
    return element;
}

class FocusFieldDetectorTest : public ::testing::Test {
protected:
    FocusFieldDetectorTest() { frontmost->pid = editorPid; }

    void start()
    {
        detector.startObserving([this](const std::optional<FocusedField>& field) { reports.push_back(field); });
    }

    // One poll's worth of time, with the application answering.
    void pollOnce()
    {
        clock.advance(FocusFieldDetector::pollInterval);
        source->answerAll();
    }

    std::shared_ptr<FakeFocusSource> source = std::make_shared<FakeFocusSource>();
    std::shared_ptr<FakeFrontmostApplication> frontmost = std::make_shared<FakeFrontmostApplication>();
    ManualClock clock;
    FocusFieldDetector detector{source, frontmost, clock.scheduler(), ownPid};
    std::vector<std::optional<FocusedField>> reports;
    int stops = 0;
};

} // namespace

TEST(FocusFieldRules, TextRolesAreInputsAndOtherRolesNeedTheEditableState)
{
    for (FocusRole role : {FocusRole::entry, FocusRole::passwordText, FocusRole::text, FocusRole::paragraph,
             FocusRole::documentText, FocusRole::comboBox}) {
        FocusedElement element = field(QRectF(0, 0, 200, 30), 1, role);
        element.editable = false;
        EXPECT_TRUE(FocusFieldDetector::isTextInputField(element)) << static_cast<int>(role);
    }
    FocusedElement other = field(QRectF(0, 0, 200, 30), 1, FocusRole::other);
    other.editable = true;
    EXPECT_TRUE(FocusFieldDetector::isTextInputField(other));
    other.editable = false;
    EXPECT_FALSE(FocusFieldDetector::isTextInputField(other));
    other.editable.reset();
    EXPECT_FALSE(FocusFieldDetector::isTextInputField(other));

    // A role that cannot be read rejects the element whatever its state says.
    FocusedElement silent = field(QRectF(0, 0, 200, 30), 1, FocusRole::unreadable);
    silent.editable = true;
    EXPECT_FALSE(FocusFieldDetector::isTextInputField(silent));
}

TEST(FocusFieldRules, SmallFieldsTakeAModestParentOrGrowAroundTheirCentre)
{
    FocusedElement small = field(QRectF(100, 200, 30, 10));
    small.parentBounds = QRectF(90, 195, 300, 24);
    EXPECT_EQ(FocusFieldDetector::fieldBounds(small), QRectF(90, 195, 300, 24));

    small.parentBounds = QRectF(0, 195, 900, 24);
    EXPECT_EQ(FocusFieldDetector::fieldBounds(small), QRectF(100, 200, 30, 10));

    // A parent that names no rectangle leaves the field as it is.
    small.parentBounds.reset();
    EXPECT_EQ(FocusFieldDetector::fieldBounds(small), QRectF(100, 200, 30, 10));

    small.hasParent = false;
    const QRectF grown = *FocusFieldDetector::fieldBounds(small);
    EXPECT_EQ(grown.size(), QSizeF(120, 28));
    EXPECT_EQ(grown.center(), QRectF(100, 200, 30, 10).center());

    FocusedElement flat = field(QRectF(100, 200, 300, 15));
    flat.hasParent = false;
    const QRectF taller = *FocusFieldDetector::fieldBounds(flat);
    EXPECT_EQ(taller, QRectF(100, 200 - 6.5, 300, 28));

    // Large fields are taken as they are, whatever their parent.
    EXPECT_EQ(FocusFieldDetector::fieldBounds(field(QRectF(5, 6, 50, 20))), QRectF(5, 6, 50, 20));
}

TEST(FocusFieldRules, ElementsWithoutARealRectangleAreNoField)
{
    EXPECT_FALSE(FocusFieldDetector::fieldBounds(field(QRectF(0, 0, 0, 0))));
    EXPECT_FALSE(FocusFieldDetector::fieldBounds(field(QRectF(-1, -1, -1, -1))));
    FocusedElement none = field(QRectF(0, 0, 100, 30));
    none.bounds.reset();
    EXPECT_FALSE(FocusFieldDetector::fieldBounds(none));
}

TEST(FocusFieldRules, AChangeOfFiveInAnyEdgeOrSizeCounts)
{
    const QRectF base(100, 100, 200, 30);
    EXPECT_TRUE(FocusFieldDetector::boundsAreSimilar(base, base.translated(4.9, -4.9)));
    EXPECT_TRUE(FocusFieldDetector::boundsAreSimilar(base, base.adjusted(0, 0, 4.9, -4.9)));
    EXPECT_FALSE(FocusFieldDetector::boundsAreSimilar(base, base.translated(5, 0)));
    EXPECT_FALSE(FocusFieldDetector::boundsAreSimilar(base, base.translated(0, -5)));
    EXPECT_FALSE(FocusFieldDetector::boundsAreSimilar(base, base.adjusted(0, 0, 5, 0)));
    EXPECT_FALSE(FocusFieldDetector::boundsAreSimilar(base, base.adjusted(0, 0, 0, -5)));
}

TEST_F(FocusFieldDetectorTest, ReportsTheFieldAtStartAndOnlyChangesOfFiveOrMore)
{
    source->focus = field(QRectF(100, 100, 200, 30));
    start();
    EXPECT_TRUE(reports.empty()); // nothing before the application answers
    source->answerAll();
    ASSERT_EQ(reports.size(), 1u);
    ASSERT_TRUE(reports[0]);
    EXPECT_EQ(reports[0]->bounds, QRectF(100, 100, 200, 30));
    EXPECT_EQ(reports[0]->processId, editorPid);

    source->focus = field(QRectF(104.9, 100, 200, 30));
    pollOnce();
    EXPECT_EQ(reports.size(), 1u);

    // Measured against the last report, so a slow drift is caught too.
    source->focus = field(QRectF(105, 100, 200, 30));
    pollOnce();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[1]->bounds, QRectF(105, 100, 200, 30));
}

TEST_F(FocusFieldDetectorTest, AnotherFieldAtNearlyTheSamePlaceIsNotReported)
{
    source->focus = field(QRectF(100, 100, 200, 30), 1);
    start();
    source->answerAll();
    source->focusMoved(field(QRectF(102, 101, 200, 30), 2));
    clock.advance(FocusFieldDetector::debounceInterval);
    source->answerAll();
    EXPECT_EQ(reports.size(), 1u);
}

TEST_F(FocusFieldDetectorTest, LeavingTextInputsIsReportedOnce)
{
    source->focus = field(QRectF(100, 100, 200, 30));
    start();
    source->answerAll();
    source->focusMoved(button());
    clock.advance(FocusFieldDetector::debounceInterval);
    source->answerAll();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_FALSE(reports[1]);
    pollOnce();
    pollOnce();
    EXPECT_EQ(reports.size(), 2u);

    // Back in a field: reported although it is where the last one was.
    source->focusMoved(field(QRectF(100, 100, 200, 30)));
    clock.advance(FocusFieldDetector::debounceInterval);
    source->answerAll();
    ASSERT_EQ(reports.size(), 3u);
    EXPECT_TRUE(reports[2]);
}

TEST_F(FocusFieldDetectorTest, NothingIsReportedBeforeAFieldWasFound)
{
    source->focus = button();
    start();
    source->answerAll();
    pollOnce();
    EXPECT_TRUE(reports.empty());
}

TEST_F(FocusFieldDetectorTest, ABurstOfFocusEventsCostsOneQuestionAfterTheLastEvent)
{
    source->focus = field(QRectF(100, 100, 200, 30));
    start();
    source->answerAll();
    const int before = source->refreshCount;

    source->focusMoved(field(QRectF(300, 100, 200, 30), 2));
    clock.advance(0.02);
    source->focusMoved(field(QRectF(500, 100, 200, 30), 3));
    clock.advance(0.02);
    source->focusMoved(field(QRectF(700, 100, 200, 30), 4));
    clock.advance(FocusFieldDetector::debounceInterval - 0.001);
    EXPECT_EQ(source->refreshCount, before);
    clock.advance(0.001);
    EXPECT_EQ(source->refreshCount, before + 1);
    source->answerAll();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[1]->bounds.x(), 700);
}

TEST_F(FocusFieldDetectorTest, AnApplicationThatDoesNotAnswerIsAskedOnceAndAgainAfterItAnswers)
{
    source->focus = field(QRectF(100, 100, 200, 30));
    start();
    // Hung: polls and focus events pile up no further questions.
    clock.advance(3 * FocusFieldDetector::pollInterval);
    source->focusMoved(field(QRectF(300, 100, 200, 30), 2));
    clock.advance(FocusFieldDetector::debounceInterval);
    EXPECT_EQ(source->refreshCount, 1);
    source->answerAll();
    EXPECT_EQ(source->refreshCount, 2); // the check that waited
    source->answerAll();
    ASSERT_EQ(reports.size(), 1u); // both answers named the same rectangle
    EXPECT_EQ(reports[0]->bounds.x(), 300);
}

TEST_F(FocusFieldDetectorTest, AnActivationIsCheckedWithoutDelay)
{
    start();
    source->answerAll();
    const int before = source->refreshCount;
    frontmost->activate(3000);
    EXPECT_EQ(source->refreshCount, before + 1);
}

TEST_F(FocusFieldDetectorTest, OnlyTheFrontmostOtherApplicationCounts)
{
    source->focus = field(QRectF(100, 100, 200, 30));
    EXPECT_TRUE(detector.getCurrentFocusedField());

    // Our own window in front: nothing, even with another app's field cached.
    frontmost->pid = ownPid;
    EXPECT_FALSE(detector.getCurrentFocusedField());
    FocusedElement ours = *source->focus;
    ours.processId = ownPid;
    source->focus = ours;
    frontmost->pid.reset();
    EXPECT_FALSE(detector.getCurrentFocusedField());

    // The cached focus of an application that is no longer in front.
    source->focus = field(QRectF(100, 100, 200, 30));
    frontmost->pid = 4242;
    EXPECT_FALSE(detector.getCurrentFocusedField());

    // A desktop that names no active application: the focus events decide.
    frontmost->pid.reset();
    EXPECT_TRUE(detector.getCurrentFocusedField());
}

TEST_F(FocusFieldDetectorTest, CurrentFieldIsAnsweredFromTheCacheAndChangesNothing)
{
    source->focus = field(QRectF(100, 100, 200, 30));
    const std::optional<FocusedField> now = detector.getCurrentFocusedField();
    ASSERT_TRUE(now);
    EXPECT_EQ(now->bounds, QRectF(100, 100, 200, 30));
    EXPECT_EQ(source->refreshCount, 0);
    EXPECT_FALSE(detector.isCurrentlyObserving());

    // A toolkit at 200 % reports half its window's real size: the field is
    // placed in device pixels (the test screen's ratio is 1).
    FocusedElement scaled = field(QRectF(60, 70, 100, 15));
    scaled.windowBounds = QRectF(50, 50, 400, 300);
    source->focus = scaled;
    frontmost->geometry = ActiveWindowGeometry{QRect(99, 80, 802, 621), QRect(100, 100, 800, 600)};
    ASSERT_TRUE(detector.getCurrentFocusedField());
    EXPECT_EQ(detector.getCurrentFocusedField()->bounds, QRectF(120, 140, 200, 30));
    source->focus = field(QRectF(100, 100, 200, 30));

    // The observation still reports the field first.
    start();
    source->answerAll();
    EXPECT_EQ(reports.size(), 1u);
}

TEST_F(FocusFieldDetectorTest, StartingTwiceKeepsOneRegistrationAndReportsTheFieldAgain)
{
    source->focus = field(QRectF(100, 100, 200, 30));
    start();
    source->answerAll();
    start();
    source->answerAll();
    EXPECT_EQ(reports.size(), 2u);
    EXPECT_TRUE(detector.isCurrentlyObserving());

    // One poll timer: one question per second.
    const int before = source->refreshCount;
    pollOnce();
    EXPECT_EQ(source->refreshCount, before + 1);
}

TEST_F(FocusFieldDetectorTest, NothingIsReportedAfterStopAndLateAnswersAreDropped)
{
    source->focus = field(QRectF(100, 100, 200, 30));
    start();
    detector.stopObserving();
    EXPECT_FALSE(detector.isCurrentlyObserving());
    EXPECT_FALSE(source->hasChangeHandler());
    EXPECT_FALSE(frontmost->hasChangeHandler());
    source->answerAll(); // the answer to the stopped observation
    source->focusMoved(field(QRectF(300, 100, 200, 30)));
    frontmost->activate(editorPid);
    clock.advance(5);
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(source->refreshCount, 1);
    detector.stopObserving(); // harmless when stopped
    EXPECT_FALSE(detector.isCurrentlyObserving());
}

TEST_F(FocusFieldDetectorTest, StaleAnswerOfAnEarlierObservationIsIgnored)
{
    source->focus = field(QRectF(100, 100, 200, 30));
    start();
    FocusSource::Reply stale = source->pending.front();
    source->pending.clear();
    detector.stopObserving();
    start();
    stale(field(QRectF(900, 100, 200, 30)));
    EXPECT_TRUE(reports.empty());
    source->answerAll();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0]->bounds.x(), 100);
}

TEST_F(FocusFieldDetectorTest, AHandlerMayStopTheObservation)
{
    source->focus = field(QRectF(100, 100, 200, 30));
    detector.startObserving([this](const std::optional<FocusedField>&) {
        ++stops;
        detector.stopObserving();
    });
    source->answerAll();
    clock.advance(5);
    source->answerAll();
    EXPECT_EQ(stops, 1);
}

TEST(FocusFieldDetectorLifetime, AnswersAndTimersAfterTheDetectorIsGoneTouchNothing)
{
    auto source = std::make_shared<FakeFocusSource>();
    auto frontmost = std::make_shared<FakeFrontmostApplication>();
    ManualClock clock;
    int reports = 0;
    {
        FocusFieldDetector detector(source, frontmost, clock.scheduler(), ownPid);
        detector.startObserving([&](const std::optional<FocusedField>&) { ++reports; });
        source->focusMoved(field(QRectF(100, 100, 200, 30)));
    }
    EXPECT_FALSE(source->hasChangeHandler());
    source->answerAll();
    clock.advance(5);
    EXPECT_EQ(reports, 0);
}

TEST(FocusFieldDetectorWithoutServices, FindsNoFieldAndStartsAndStopsQuietly)
{
    ManualClock clock;
    FocusFieldDetector detector(nullptr, nullptr, clock.scheduler(), ownPid);
    int reports = 0;
    detector.startObserving([&](const std::optional<FocusedField>&) { ++reports; });
    clock.advance(3);
    EXPECT_FALSE(detector.getCurrentFocusedField());
    detector.stopObserving();
    EXPECT_EQ(reports, 0);
}
