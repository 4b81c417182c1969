// Started from a Wayland session's terminal, the tool still makes X11
// windows: its shortcuts, paste and placement work on X11 only, so Qt must
// not be asked for its Wayland platform first.
#include "support/EventLoop.h"
#include "support/Patience.h"
#include "support/WindowGeometry.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(ToolInAWaylandSession, ShowsItsWindowOnX11WithoutTryingWayland)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        GTEST_SKIP() << "needs the private test session";
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // A Plasma Wayland session: Qt would try Wayland before X11 there.
    environment.insert("XDG_SESSION_TYPE", "wayland");
    environment.insert("XDG_CURRENT_DESKTOP", "KDE");
    environment.insert("WAYLAND_DISPLAY", "wayland-tallowind-test");
    environment.remove("QT_QPA_PLATFORM");
    environment.insert("XDG_CONFIG_HOME", home.filePath("config"));
    environment.insert("XDG_DATA_HOME", home.filePath("data"));
    environment.insert("XDG_CACHE_HOME", home.filePath("cache"));
    environment.insert("TALLOWIND_MODEL_BASE_URL", "http://127.0.0.1:9/");

    QProcess tool;
    tool.setProcessEnvironment(environment);
    tool.start(QCoreApplication::applicationDirPath() + "/../tallowind", {});
    ASSERT_TRUE(tool.waitForStarted(Patience::reply));
    // No model yet: the welcome window opens.
    const bool shown = pumpUntil(
        [&] {
            return !shownWindows({"--pid", QString::number(tool.processId())}).isEmpty();
        },
        Patience::reply);
    tool.terminate();
    ASSERT_TRUE(tool.waitForFinished(Patience::reply));
    const QString errors = QString::fromLocal8Bit(tool.readAllStandardError());
    EXPECT_TRUE(shown);
    EXPECT_FALSE(errors.contains("wayland", Qt::CaseInsensitive)) << errors.toStdString();
}
