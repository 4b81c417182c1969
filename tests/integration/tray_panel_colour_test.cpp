// The tray icon reads the colour of the panel it docks in, so the glyph can
// be chosen for that panel rather than for the application's scheme.
#include "platform/qt/QtTrayIcon.h"
#include "shell/StatusIconArt.h"
#include "support/EventLoop.h"

#include <QProcess>
#include <QSystemTrayIcon>

#include <gtest/gtest.h>

namespace {

class TrayPanelColour : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            GTEST_SKIP() << "needs the private test session";
    }

    void TearDown() override { stopPanel(); }

    // A panel tinted solidly in `rgb` (0xRRGGBB).
    void startPanel(const QString& rgb)
    {
        stopPanel();
        panel.start("trayer",
            {"--edge", "top", "--align", "right", "--widthtype", "request", "--height", "24", "--transparent", "true",
                "--alpha", "0", "--tint", rgb});
        ASSERT_TRUE(panel.waitForStarted(5000));
        ASSERT_TRUE(pumpUntil([] { return QSystemTrayIcon::isSystemTrayAvailable(); }, 10000)) << "no tray";
    }

    void stopPanel()
    {
        if (panel.state() == QProcess::NotRunning)
            return;
        panel.terminate();
        panel.waitForFinished(5000);
    }

    std::optional<QColor> dockedPanelColour()
    {
        QtTrayIcon icon;
        icon.setIcon(StatusIconArt::icon(QStringLiteral("mic.circle")));
        icon.show();
        std::optional<QColor> colour;
        pumpUntil(
            [&] {
                colour = icon.panelBackground();
                return colour.has_value();
            },
            10000);
        return colour;
    }

    QProcess panel;
};

} // namespace

TEST_F(TrayPanelColour, ALightPanelAndADarkOneAreToldApart)
{
    startPanel("0xf0f0f0");
    const std::optional<QColor> light = dockedPanelColour();
    ASSERT_TRUE(light) << "the icon did not dock";
    EXPECT_GT(light->lightness(), 200) << light->name().toStdString();

    startPanel("0x202024");
    const std::optional<QColor> dark = dockedPanelColour();
    ASSERT_TRUE(dark) << "the icon did not dock";
    EXPECT_LT(dark->lightness(), 60) << dark->name().toStdString();
}
