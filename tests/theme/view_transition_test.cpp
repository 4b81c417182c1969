#include "ThemeFixture.h"

#include "shell/theme/MotionTransaction.h"
#include "shell/theme/ProgressWindowConfig.h"
#include "shell/theme/SpringAnimation.h"
#include "shell/theme/ViewTransition.h"

#include <QGraphicsOpacityEffect>
#include <QTest>
#include <QVBoxLayout>

namespace {

using namespace TallowindTheme;
using ViewTransition::Style;

// A shown window holding one part that comes and goes.
class ViewTransitionTest : public ThemeTest {
protected:
    void SetUp() override
    {
        ThemeTest::SetUp();
        auto* layout = new QVBoxLayout(&window);
        part = new QWidget(&window);
        part->setFixedSize(40, 20);
        layout->addWidget(part);
        window.show();
    }

    bool settled() const { return !ViewTransition::isMoving(part); }

    const MotionCurve curve = Animation::easeInOut();
    QWidget window;
    QWidget* part = nullptr;
};

} // namespace

TEST_F(ViewTransitionTest, ALeavingPartKeepsItsPlaceUntilItIsGone)
{
    ViewTransition::setPresent(part, false, Style::scaleAndFade, curve);
    EXPECT_FALSE(ViewTransition::isPresent(part));
    EXPECT_TRUE(part->isVisible()) << "still drawn on its way out";
    EXPECT_TRUE(ViewTransition::isMoving(part));
    ASSERT_TRUE(QTest::qWaitFor([&] { return settled(); }, 5000));
    EXPECT_TRUE(part->isHidden());
    EXPECT_EQ(part->graphicsEffect(), nullptr) << "the effect lives only while the part moves";

    ViewTransition::setPresent(part, true, Style::slideFromTopAndFade, curve);
    EXPECT_TRUE(part->isVisible());
    ASSERT_TRUE(QTest::qWaitFor([&] { return settled(); }, 5000));
    EXPECT_TRUE(part->isVisible());
    EXPECT_EQ(part->graphicsEffect(), nullptr);
}

TEST_F(ViewTransitionTest, APartAskedBackOnItsWayOutTurnsAroundAndStays)
{
    ViewTransition::setPresent(part, false, Style::fade, curve);
    ViewTransition::setPresent(part, true, Style::fade, curve);
    EXPECT_TRUE(ViewTransition::isPresent(part));
    ASSERT_TRUE(QTest::qWaitFor([&] { return settled(); }, 5000));
    EXPECT_TRUE(part->isVisible()) << "the first motion's end must not hide it";

    // Asking for what already holds starts nothing.
    ViewTransition::setPresent(part, true, Style::fade, curve);
    EXPECT_FALSE(ViewTransition::isMoving(part));
}

TEST_F(ViewTransitionTest, ChangesAreImmediateWithoutLengthOrWindowAndLeaveForeignEffectsAlone)
{
    Motion::setDurationScale(0.0);
    ViewTransition::setPresent(part, false, Style::scaleAndFade, curve);
    EXPECT_TRUE(part->isHidden());
    Motion::setDurationScale(1.0);

    QWidget hidden;
    auto* child = new QWidget(&hidden);
    ViewTransition::setPresent(child, false, Style::scaleAndFade, curve);
    EXPECT_TRUE(child->isHidden());

    ViewTransition::setPresent(part, true, Style::scaleAndFade, curve);
    auto* own = new QGraphicsOpacityEffect;
    part->setGraphicsEffect(own);
    ViewTransition::setPresent(part, false, Style::scaleAndFade, curve);
    EXPECT_TRUE(part->isHidden());
    EXPECT_EQ(part->graphicsEffect(), own);

    bool changed = false;
    ViewTransition::crossfade(
        part, [&] { changed = true; }, curve);
    EXPECT_TRUE(changed);
}

TEST_F(ViewTransitionTest, ACrossfadeMakesItsChangeAtOnceAndThenSettles)
{
    int changes = 0;
    ViewTransition::crossfade(
        part, [&] { ++changes; }, curve);
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(ViewTransition::isMoving(part));
    ASSERT_TRUE(QTest::qWaitFor([&] { return settled(); }, 5000));
    EXPECT_EQ(part->graphicsEffect(), nullptr);
}

TEST(MotionTransaction, TheInnermostCurveCountsUntilItsScopeEnds)
{
    EXPECT_FALSE(MotionTransaction::current().has_value());
    {
        const MotionTransaction outer(Animation::easeInOut());
        {
            const MotionTransaction inner(Animation::defaultSpring);
            EXPECT_TRUE(std::holds_alternative<SpringParameters>(*MotionTransaction::current()));
        }
        EXPECT_TRUE(std::holds_alternative<TimingCurve>(*MotionTransaction::current()));
    }
    EXPECT_FALSE(MotionTransaction::current().has_value());

    QObject owner;
    QVariantAnimation* spring = makeMotion(Animation::defaultSpring, &owner);
    EXPECT_NE(dynamic_cast<SpringAnimation*>(spring), nullptr);
    EXPECT_EQ(spring->duration(), motionMilliseconds(Animation::defaultSpring));
}

TEST(ProgressWindowConfig, PaddingsFollowTheDoneButton)
{
    const ProgressWindowConfig shortcut = progressWindowConfig({RecordingMode::toggle, true});
    const ProgressWindowConfig studio = progressWindowConfig({RecordingMode::studio, true});
    const ProgressWindowConfig idle = progressWindowConfig({RecordingMode::pushToTalk, false});
    EXPECT_TRUE(shortcut.showsDoneButton);
    EXPECT_FALSE(studio.showsDoneButton);
    EXPECT_FALSE(idle.showsDoneButton);
    // With the button: room for it on the right.
    EXPECT_EQ(shortcut.waveformLeftPadding, 16.0);
    EXPECT_EQ(shortcut.waveformRightPadding, 105.0);
    EXPECT_EQ(shortcut.durationRightMargin, 36.0);
    for (const ProgressWindowConfig& plain : {studio, idle}) {
        EXPECT_EQ(plain.waveformLeftPadding, 16.0);
        EXPECT_EQ(plain.waveformRightPadding, 100.0);
        EXPECT_EQ(plain.durationRightMargin, 16.0);
    }
}
