// The real binary's welcome window on a desktop whose compositing manager
// blurs nothing behind windows (picom), in front of a terminal full of
// text: what the screen shows of the window's glass is one flat colour.
#include "platform/x11/X11DesktopCompositor.h"
#include "support/CompositedScreen.h"
#include "support/EventLoop.h"
#include "support/PasteTarget.h"
#include "support/Patience.h"
#include "support/TextContrast.h"
#include "support/WindowGeometry.h"

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

    QTemporaryDir home;
    QProcess compositor;
    QProcess terminal;
    QProcess tool;
};

TEST_F(GlassOnACompositingDesktop, WelcomeWindowShowsNoTextOfTheWindowBehindIt)
{
    // Without a configuration picom draws no shadows and no fades.
    compositor.start("picom", {"--config", "/dev/null", "--backend", "xrender"});
    ASSERT_TRUE(compositor.waitForStarted(Patience::reply));
    X11DesktopCompositor desktop;
    ASSERT_TRUE(pumpUntil([&] { return desktop.isCompositing(); }, Patience::reply)) << "picom does not composite";

    // Light text on black over the whole screen, one run-on line.
    terminal.start("xterm",
        {"-rv", "-geometry", "212x62+0+0", "-e", "sh", "-c",
            "yes 'The quick brown fox jumps over the lazy dog. ' | tr -d '\\n' | head -c 20000;"
            " exec sleep 600"});
    ASSERT_TRUE(terminal.waitForStarted(Patience::reply));
    ASSERT_TRUE(pumpUntil([] { return !shownWindows({"--class", "^XTerm$"}).isEmpty(); }, Patience::reply));

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_HOME", home.filePath("config"));
    environment.insert("XDG_DATA_HOME", home.filePath("data"));
    environment.insert("XDG_CACHE_HOME", home.filePath("cache"));
    tool.setProcessEnvironment(environment);
    tool.start(QCoreApplication::applicationDirPath() + "/../tallowind", {});
    ASSERT_TRUE(tool.waitForStarted(Patience::reply));
    QRect welcome;
    ASSERT_TRUE(pumpUntil(
        [&] {
            const QList<QRect> shown = shownWindows({"--name", "^Welcome to Tallowind$"});
            welcome = shown.isEmpty() ? QRect() : shown.first();
            return !welcome.isEmpty();
        },
        Patience::reply))
        << "no welcome window";

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
    // For a person to look at: the whole screen as shown.
    if (const QString folder = qEnvironmentVariable("TALLOWIND_SNAPSHOT_DIR"); !folder.isEmpty())
        compositedScreen(QRect(0, 0, 1280, 800)).save(folder + "/welcome_over_text_composited.png");
    EXPECT_LT(inkContrast(screen, glass.translated(-seen.topLeft())), 1.1)
        << "the terminal's text shows through the glass";
}

} // namespace
