// The tray icon reads the colour of the panel it docks in, so the glyph can
// be chosen for that panel rather than for the application's scheme.
#include "platform/qt/QtTrayIcon.h"
#include "shell/tray/StatusIconArt.h"
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

    // Whether the docked icon comes to read `expected` around it: the panel
    // paints its tint a moment after the icon docks.
    static bool readsPanelAs(const QColor& expected, QColor& last)
    {
        QtTrayIcon icon;
        icon.setIcon(StatusIconArt::icon(QStringLiteral("mic.circle")));
        icon.show();
        return pumpUntil(
            [&] {
                const std::optional<QColor> colour = icon.panelBackground();
                if (colour)
                    last = *colour;
                return colour && std::abs(colour->red() - expected.red()) <= 8
                    && std::abs(colour->green() - expected.green()) <= 8
                    && std::abs(colour->blue() - expected.blue()) <= 8;
            },
            10000);
    }

    QProcess panel;
};

} // namespace

TEST_F(TrayPanelColour, ALightPanelAndADarkOneAreToldApart)
{
    QColor last;
    startPanel("0xf0f0f0");
    EXPECT_TRUE(readsPanelAs(QColor(0xf0, 0xf0, 0xf0), last)) << last.name().toStdString();
    startPanel("0x283048");
    EXPECT_TRUE(readsPanelAs(QColor(0x28, 0x30, 0x48), last)) << last.name().toStdString();
}
