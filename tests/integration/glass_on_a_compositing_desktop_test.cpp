// The real binary's welcome window on a desktop whose compositing manager
// blurs nothing behind windows (picom), in front of a terminal full of
// text: what the screen shows of the window's glass is one flat colour. And
// its rounded corners while that compositor stops and starts.
#include "platform/x11/X11DesktopCompositor.h"
#include "support/CompositedScreen.h"
#include "support/EventLoop.h"
#include "support/PasteTarget.h"
#include "support/Patience.h"
#include "support/TextContrast.h"
#include "support/WindowGeometry.h"

#include <QColor>
#include <QCoreApplication>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class GlassOnACompositingDesktop : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY") || qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
            GTEST_SKIP() << "needs the private test session";
        ASSERT_TRUE(home.isValid());
    }

    void TearDown() override
    {
        for (QProcess* process : {&tool, &terminal, &compositor})
            stopProcess(*process, Patience::reply);
    }

    // True once picom composites the screen.
    bool startCompositor()
    {
        // Without a configuration picom draws no shadows and no fades.
        compositor.start("picom", {"--config", "/dev/null", "--backend", "xrender"});
        X11DesktopCompositor desktop;
        return compositor.waitForStarted(Patience::reply)
            && pumpUntil([&] { return desktop.isCompositing(); }, Patience::reply);
    }

    // The welcome window's id once the tool shows it; empty if it never does.
    QString startTool()
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_CONFIG_HOME", home.filePath("config"));
        environment.insert("XDG_DATA_HOME", home.filePath("data"));
        environment.insert("XDG_CACHE_HOME", home.filePath("cache"));
        tool.setProcessEnvironment(environment);
        tool.start(QCoreApplication::applicationDirPath() + "/../tallowind", {});
        QString welcome;
        if (tool.waitForStarted(Patience::reply))
            pumpUntil(
                [&] {
                    welcome = shownWindowId({"--name", "^Welcome to Tallowind$"});
                    return !welcome.isEmpty();
                },
                Patience::reply);
        return welcome;
    }

    // A terminal of one colour over the whole screen, below what opens later.
    void startBackdrop()
    {
        terminal.start("xterm", {"-bg", "rgb:30/70/a0", "-geometry", "212x62+0+0", "-e", "sleep", "600"});
        ASSERT_TRUE(terminal.waitForStarted(Patience::reply));
        ASSERT_TRUE(pumpUntil([] { return !shownWindows({"--class", "^XTerm$"}).isEmpty(); }, Patience::reply));
    }

    static bool cornersShowTheBackdrop(const QRect& window)
    {
        const QImage screen = shownScreen(window);
        if (screen.isNull())
            return false;
        const QRect corners = screen.rect();
        for (const QPoint corner : {corners.topLeft(), corners.topRight(), corners.bottomLeft(), corners.bottomRight()})
            if (screen.pixel(corner) != backdrop)
                return false;
        return true;
    }

    // For a person to look at: the whole screen as shown.
    static void snapshot(const QString& name)
    {
        if (const QString folder = qEnvironmentVariable("TALLOWIND_SNAPSHOT_DIR"); !folder.isEmpty())
            shownScreen(QRect(0, 0, 1280, 800)).save(folder + '/' + name + ".png");
    }

    static constexpr QRgb backdrop = qRgb(0x30, 0x70, 0xa0);

    QTemporaryDir home;
    QProcess compositor;
    QProcess terminal;
    QProcess tool;
};

TEST_F(GlassOnACompositingDesktop, WelcomeWindowShowsNoTextOfTheWindowBehindIt)
{
    ASSERT_TRUE(startCompositor()) << "picom does not composite";

    // Light text on black over the whole screen, one run-on line.
    terminal.start("xterm",
        {"-rv", "-geometry", "212x62+0+0", "-e", "sh", "-c",
            "yes 'The quick brown fox jumps over the lazy dog. ' | tr -d '\\n' | head -c 20000;"
            " exec sleep 600"});
    ASSERT_TRUE(terminal.waitForStarted(Patience::reply));
    ASSERT_TRUE(pumpUntil([] { return !shownWindows({"--class", "^XTerm$"}).isEmpty(); }, Patience::reply));

    const QRect welcome = windowGeometry(startTool());
    ASSERT_FALSE(welcome.isEmpty()) << "no welcome window";

    // A strip inside the window's left margin, clear of its corners and of
    // its own texts, and one just beside the window.
    const QRect glass(welcome.left() + 10, welcome.top() + 40, 30, welcome.height() - 80);
    const QRect beside = glass.translated(-50, 0);
    const QRect seen = glass.united(beside);
    QImage screen;
    const auto painted = [&] {
        screen = compositedScreen(seen);
        if (screen.isNull() || inkContrast(screen, beside.translated(-seen.topLeft())) < 3.0)
            return false;
        // The window is on screen, all of the strip, once none of it is the
        // terminal's black.
        for (int y = glass.top(); y <= glass.bottom(); ++y)
            for (int x = glass.left(); x <= glass.right(); ++x)
                if (screen.pixel(x - seen.left(), y - seen.top()) == qRgb(0, 0, 0))
                    return false;
        return true;
    };
    ASSERT_TRUE(pumpUntil(painted, Patience::reply)) << "the window never showed over the terminal's text";
    snapshot("welcome_over_text_composited");
    EXPECT_LT(inkContrast(screen, glass.translated(-seen.topLeft())), 1.1)
        << "the terminal's text shows through the glass";
}

// The corners were left translucent, which a screen without a compositing
// manager shows black.
TEST_F(GlassOnACompositingDesktop, WelcomeWindowCornersShowTheDesktopOnceTheCompositorStops)
{
    startBackdrop();
    ASSERT_TRUE(startCompositor()) << "picom does not composite";
    const QRect welcome = windowGeometry(startTool());
    ASSERT_FALSE(welcome.isEmpty()) << "no welcome window";
    ASSERT_TRUE(pumpUntil([&] { return cornersShowTheBackdrop(welcome); }, Patience::reply));
    snapshot("welcome_composited");

    stopProcess(compositor, Patience::reply);
    EXPECT_TRUE(pumpUntil([&] { return cornersShowTheBackdrop(welcome); }, Patience::reply))
        << "top left corner without a compositor: " << QColor(shownScreen(welcome).pixel(0, 0)).name().toStdString();
    snapshot("welcome_after_the_compositor_stopped");
}

// The window kept the mask it had while no compositor ran.
TEST_F(GlassOnACompositingDesktop, WelcomeWindowDropsItsMaskOnceACompositorStarts)
{
    startBackdrop();
    const QString id = startTool();
    ASSERT_FALSE(id.isEmpty()) << "no welcome window";
    const QRect welcome = windowGeometry(id);
    ASSERT_TRUE(pumpUntil([&] { return cornersShowTheBackdrop(welcome); }, Patience::reply));
    EXPECT_TRUE(windowMasked(id));
    snapshot("welcome_uncomposited");

    ASSERT_TRUE(startCompositor()) << "picom does not composite";
    EXPECT_TRUE(pumpUntil([&] { return !windowMasked(id) && cornersShowTheBackdrop(welcome); }, Patience::reply))
        << "still masked: " << windowMasked(id);
    snapshot("welcome_after_a_compositor_started");
}

} // namespace
