#include "shell/errors/ErrorToastView.h"

#include "shell/ShellShots.h"
#include "shell/theme/Motion.h"
#include "support/EventLoop.h"

#include <QElapsedTimer>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

struct Counter {
    int calls = 0;
    std::function<void()> callback()
    {
        return [this] { ++calls; };
    }
};

} // namespace

TEST(ErrorToastView, CloseButtonHidesTheToastAndReportsOnceEvenWhenTheTimerFiresLater)
{
    Counter counter;
    ErrorToastView toast(TallowindError::emptyTranscriptionResult(), counter.callback());
    toast.resize(toast.sizeHint());
    toast.show();
    QElapsedTimer shown;
    shown.start();
    ASSERT_TRUE(toast.closeButton()->isEnabled());
    EXPECT_EQ(toast.closeButton()->accessibleName(), "Dismiss");
    toast.closeButton()->click();
    EXPECT_FALSE(toast.isToastVisible());
    EXPECT_EQ(counter.calls, 0); // not before the exit transition
    ASSERT_TRUE(pumpUntil([&] { return counter.calls == 1; }));
    // The five-second timer still runs dismiss(); the owner hears nothing more.
    pumpUntil(
        [&] { return shown.elapsed() > ErrorToastView::autoDismissMs + 800; }, ErrorToastView::autoDismissMs + 2000);
    EXPECT_EQ(counter.calls, 1);
    EXPECT_FALSE(toast.isToastVisible());
}

TEST(ErrorToastView, OnlyAnEmptyResultHidesItself)
{
    Counter empty;
    Counter failed;
    ErrorToastView quiet(TallowindError::emptyTranscriptionResult(), empty.callback());
    ErrorToastView loud(TallowindError::recordingFailed("x"), failed.callback());
    quiet.show();
    loud.show();
    ASSERT_TRUE(pumpUntil([&] { return empty.calls == 1; }, ErrorToastView::autoDismissMs + 3000));
    EXPECT_FALSE(quiet.isToastVisible());
    EXPECT_TRUE(loud.isToastVisible());
    EXPECT_EQ(failed.calls, 0);
    loud.dismiss();
    loud.dismiss();
    ASSERT_TRUE(pumpUntil([&] { return failed.calls == 1; }));
    pumpFor(500);
    EXPECT_EQ(failed.calls, 1);
}

TEST(ErrorToastView, CallbackRunsEvenWhenTheOwnerLetsTheViewGo)
{
    Counter counter;
    {
        ErrorToastView toast(TallowindError::recordingFailed("x"), counter.callback());
        toast.show();
        toast.dismiss();
    }
    ASSERT_TRUE(pumpUntil([&] { return counter.calls == 1; }));
}

TEST(ErrorToastView, LongDescriptionsStopAtTheSecondLine)
{
    const QString longReason = QString("the model file could not be read ").repeated(8);
    ErrorToastView toast(TallowindError::modelLoadFailed(longReason), [] {});
    toast.resize(toast.sizeHint());
    toast.show();
    const QStringList lines = toast.shownLines();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines.first().startsWith("Failed to load model"));
    EXPECT_TRUE(lines.last().endsWith(QChar(0x2026)));

    ErrorToastView shortToast(TallowindError::networkError("offline"), [] {});
    shortToast.resize(shortToast.sizeHint());
    EXPECT_EQ(shortToast.shownLines(), QStringList{"Network error: offline"});
}

TEST(ErrorToastView, LooksRightInLightAndDark)
{
    Motion::setDurationScale(0);
    for (const auto& [name, palette] :
        {std::pair{QString("light"), lightPalette()}, {QString("dark"), darkPalette()}}) {
        QWidget backdrop;
        backdrop.setPalette(palette);
        backdrop.setAutoFillBackground(true);
        auto* toast = new ErrorToastView(
            TallowindError::modelLoadFailed("the file ends before its tensors do, so it was probably cut short"), [] {},
            &backdrop);
        toast->setPalette(palette);
        backdrop.resize(toast->sizeHint() + QSize(24, 24));
        toast->setGeometry(QRect(QPoint(12, 12), toast->sizeHint()));
        backdrop.show();
        toast->finishTransition();
        EXPECT_EQ(toast->bannerRect().top(), ErrorToastView::shadowMargin);
        // The banner is painted in the palette's control colour.
        const QImage image = backdrop.grab().toImage();
        const QPoint inside = toast->geometry().topLeft() + toast->bannerRect().topLeft() + QPoint(40, 3);
        EXPECT_EQ(QColor(image.pixel(inside)), palette.color(QPalette::Base)) << name.toStdString();
        saveShot(backdrop, "error-toast-" + name);
    }
    Motion::setDurationScale(1);
}
