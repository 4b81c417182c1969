#include "shell/indicator/AudioLevelsView.h"
#include "shell/indicator/RecordingIndicatorHost.h"
#include "shell/indicator/RecordingProgressView.h"
#include "shell/indicator/RecordingProgressViewModel.h"

#include "base/Dispatch.h"
#include "recording/RecordingManager.h"
#include "theme/ThemeFixture.h"

#include <QAbstractButton>
#include <QDir>
#include <QLinearGradient>
#include <QPainter>
#include <QTest>

#include <gtest/gtest.h>

namespace {

struct RecordingHost final : RecordingIndicatorHost {
    int cancels = 0;
    int finishes = 0;
    void cancelIndicatedRecording() override { ++cancels; }
    void finishIndicatedRecording() override { ++finishes; }
};

class RecordingProgressViewTest : public ThemeTest {
protected:
    void SetUp() override
    {
        ThemeTest::SetUp();
        RecordingManager::shared().setAudioLevel(0.0f);
        Dispatch::drainMainQueue();
    }
};

// Pixels of `image` inside `area` that differ clearly from `background`.
int inkedPixels(const QImage& image, const QRect& area, const QColor& background)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (std::abs(pixel.lightness() - background.lightness()) > 60)
                ++count;
        }
    return count;
}

QImage render(RecordingProgressView& view, const QPalette& palette, float level)
{
    view.setPalette(palette);
    for (auto* child : view.findChildren<QWidget*>())
        child->setPalette(palette);
    for (int i = 0; i < 30; ++i)
        view.viewModel()->updateAudioLevel(level * static_cast<float>(i % 3 + 1) / 3.0f);
    QImage image = grabTranslucent(view);
    const QString folder = qEnvironmentVariable("TALLOWIND_SNAPSHOT_DIR");
    if (!folder.isEmpty()) {
        // For a person to look at: four times larger, over a wallpaper.
        QImage preview(image.size() * 4 + QSize(80, 80), QImage::Format_ARGB32);
        QPainter painter(&preview);
        QLinearGradient wallpaper(0, 0, preview.width(), preview.height());
        wallpaper.setColorAt(0, QColor(90, 140, 200));
        wallpaper.setColorAt(1, QColor(230, 230, 225));
        painter.fillRect(preview.rect(), wallpaper);
        painter.drawImage(QRect(QPoint(40, 40), image.size() * 4), image);
        painter.end();
        const char* scheme = colorSchemeOf(palette) == ColorScheme::dark ? "dark" : "light";
        const char* variant = Appearance::shared().reduceTransparency() ? "_solid"
            : Appearance::shared().blurBehind()                         ? ""
                                                                        : "_unblurred";
        preview.save(QDir(folder).filePath(QStringLiteral("recording_indicator_%1%2.png").arg(scheme, variant)));
    }
    return image;
}

} // namespace

TEST(AudioLevelsView, BarsStayInsideTheRowWhateverTheLevel)
{
    EXPECT_DOUBLE_EQ(AudioLevelsView::levelHeight({}, 0), 4.0);
    EXPECT_DOUBLE_EQ(AudioLevelsView::levelHeight({1.0f}, 1), 4.0);
    EXPECT_DOUBLE_EQ(AudioLevelsView::levelHeight({1.0f}, -1), 4.0);

    Motion::setDurationScale(0.0);
    AudioLevelsView view;
    view.resize(140, 28);
    // Levels beyond the thirty bars are not drawn past the row's end.
    view.setLevels(QList<float>(40, 1.0f));
    EXPECT_LE(view.barRect(29).right(), (140 + AudioLevelsView::rowWidth()) / 2.0);
    // A level beyond the row cannot draw a bar taller than it, nor a negative one.
    view.setLevels({3.0f, -1.0f});
    EXPECT_DOUBLE_EQ(view.barRect(0).height(), 28.0);
    EXPECT_GE(view.barRect(1).height(), 0.0);
    Motion::setDurationScale(1.0);
}

TEST(AudioLevelsView, AChangeSpringsEveryBarFromWhereItIs)
{
    AudioLevelsView view;
    view.resize(140, 28);
    view.setLevels(QList<float>(30, 1.0f));
    EXPECT_DOUBLE_EQ(view.barRect(0).height(), 4.0) << "nothing moved yet";
    QTest::qWait(60);
    const double midway = view.barRect(0).height();
    EXPECT_GT(midway, 4.0);
    // A new change starts from the height reached, not from the old target.
    view.setLevels({});
    EXPECT_DOUBLE_EQ(view.barRect(0).height(), midway);
    ASSERT_TRUE(QTest::qWaitFor([&] { return std::abs(view.barRect(0).height() - 4.0) < 1e-9; }, 5000));
}

TEST_F(RecordingProgressViewTest, BothButtonsHaveNamesAndTakeTheKeyboardFocus)
{
    RecordingProgressView view;
    view.show();
    for (QAbstractButton* button : {view.cancelButton(), view.finishButton()}) {
        ASSERT_NE(button, nullptr);
        EXPECT_FALSE(button->accessibleName().isEmpty());
        EXPECT_FALSE(button->toolTip().isEmpty());
        EXPECT_NE(button->focusPolicy() & Qt::TabFocus, 0);
    }
}

TEST_F(RecordingProgressViewTest, ButtonsEndTheRecordingThroughTheHostOnTheNextTurn)
{
    RecordingHost host;
    RecordingProgressView view(&host);
    view.show();
    QTest::mouseClick(view.cancelButton(), Qt::LeftButton);
    EXPECT_EQ(host.cancels, 0) << "the click returns first";
    Dispatch::drainMainQueue();
    EXPECT_EQ(host.cancels, 1);
    QTest::mouseClick(view.finishButton(), Qt::LeftButton);
    view.finishButton()->setFocus();
    QTest::keyClick(view.finishButton(), Qt::Key_Space);
    Dispatch::drainMainQueue();
    EXPECT_EQ(host.finishes, 2);
    EXPECT_EQ(host.cancels, 1);

    // Without a host the buttons do nothing, and nothing breaks.
    RecordingProgressView alone;
    alone.show();
    QTest::mouseClick(alone.cancelButton(), Qt::LeftButton);
    EXPECT_TRUE(Dispatch::drainMainQueue());
}

TEST_F(RecordingProgressViewTest, FirstAppearanceGrowsAndFadesInOnce)
{
    RecordingProgressView view;
    EXPECT_FALSE(view.hasAppeared());
    EXPECT_DOUBLE_EQ(view.appearProgress(), 0.0);
    view.show();
    EXPECT_TRUE(view.hasAppeared());
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.appearProgress() == 1.0; }, 5000));
    view.hide();
    view.show();
    EXPECT_DOUBLE_EQ(view.appearProgress(), 1.0) << "shown again without a second entrance";

    Motion::setDurationScale(0.0);
    RecordingProgressView instant;
    instant.show();
    EXPECT_DOUBLE_EQ(instant.appearProgress(), 1.0);
}

TEST_F(RecordingProgressViewTest, DraggingMovesTheContentAndLettingGoSpringsItBack)
{
    Motion::setDurationScale(0.0);
    RecordingProgressView view;
    view.show();
    const QPoint start(110, 8); // on the plate, above the meter
    QTest::mousePress(&view, Qt::LeftButton, Qt::NoModifier, start);
    QTest::mouseMove(&view, start + QPoint(6, 5));
    EXPECT_EQ(view.dragOffset(), QPointF(0, 0)) << "under ten pixels is no drag";
    QTest::mouseMove(&view, start + QPoint(30, 12));
    EXPECT_EQ(view.dragOffset(), QPointF(30, 12));
    EXPECT_EQ(view.plate()->pos(), QPoint(30, 12));
    QTest::mouseRelease(&view, Qt::LeftButton, Qt::NoModifier, start + QPoint(30, 12));
    EXPECT_EQ(view.dragOffset(), QPointF(0, 0));
    EXPECT_EQ(view.plate()->pos(), QPoint(0, 0));

    // With the spring running, the content travels back over time.
    Motion::setDurationScale(1.0);
    QTest::mousePress(&view, Qt::LeftButton, Qt::NoModifier, start);
    QTest::mouseMove(&view, start + QPoint(-40, 0));
    QTest::mouseRelease(&view, Qt::LeftButton, Qt::NoModifier, start + QPoint(-40, 0));
    EXPECT_LT(view.dragOffset().x(), 0.0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.dragOffset() == QPointF(0, 0); }, 5000));
}

TEST_F(RecordingProgressViewTest, MeterAndSymbolsStandOutFromThePlateInLightAndDark)
{
    Motion::setDurationScale(0.0);
    enum class Backdrop { blurred, unblurred, noCompositor };
    for (const Backdrop backdrop : {Backdrop::blurred, Backdrop::unblurred, Backdrop::noCompositor})
        for (const QPalette& palette : {lightPalette(), darkPalette()}) {
            SCOPED_TRACE(colorSchemeOf(palette) == ColorScheme::dark ? "dark" : "light");
            SCOPED_TRACE(static_cast<int>(backdrop));
            Appearance::shared().setReduceTransparency(backdrop == Backdrop::noCompositor);
            Appearance::shared().setBlurBehind(backdrop == Backdrop::blurred);
            RecordingProgressView view;
            const QImage image = render(view, palette, 1.0f);
            ASSERT_EQ(image.size(), QSize(220, 56));
            // The plate's colour: a spot between the buttons and the meter rows.
            const QColor plate = image.pixelColor(110, 4);
            EXPECT_GT(plate.alpha(), 150);
            if (backdrop == Backdrop::unblurred) {
                EXPECT_EQ(plate.alpha(), 255) << "what lies behind shows through";
            }
            const QRect meter = view.levelsView()->geometry();
            EXPECT_GT(inkedPixels(image, meter, plate), 100) << "the bars vanish into the plate";
            EXPECT_GT(inkedPixels(image, view.cancelButton()->geometry(), plate), 80);
            EXPECT_GT(inkedPixels(image, view.finishButton()->geometry(), plate), 80);
            // The corners outside the 8-pixel radius stay clear.
            EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0);
            EXPECT_EQ(image.pixelColor(219, 55).alpha(), 0);
        }
}
