// Starts of the real binary in one session with one home folder: a second
// start while the first downloads its first model finds the first, asks it
// to show itself and ends without touching the download, and a welcome
// window shown again follows that download; the window it shows asks to
// come forward as of the second start, not as of the first's last input;
// after the first is killed, the next start runs and answers a start after
// it, and a start on another display of the user is told which display it
// runs on.
#include "core/speech/WhisperModel.h"
#include "support/DesktopWatch.h"
#include "support/EventLoop.h"
#include "support/LocalHttpServer.h"
#include "support/Patience.h"
#include "support/PrivateXServer.h"
#include "support/WindowGeometry.h"
#include "support/XTestKeyboard.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSystemTrayIcon>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QString run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(Patience::reply);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

// Icons docked in the tray at the top of the screen.
qsizetype trayIcons()
{
    const QList<QRect> all = shownWindows({"--class", "Tallowind"});
    return std::count_if(all.begin(), all.end(), [](QRect each) { return each.width() <= 48 && each.y() < 40; });
}

class OneInstancePerSession : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY") || qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
            GTEST_SKIP() << "needs the private test session";
        ASSERT_TRUE(home.isValid());
        ASSERT_TRUE(desktop.isOpen());
        tray.start("trayer", {"--edge", "top", "--align", "right", "--widthtype", "request", "--height", "24"});
        ASSERT_TRUE(tray.waitForStarted(Patience::reply));
        ASSERT_TRUE(pumpUntil([] { return QSystemTrayIcon::isSystemTrayAvailable(); }, Patience::reply)) << "no tray";

        route.generatedSize = 2 * 1024 * 1024;
        route.chunkSize = 32 * 1024;
        route.chunkDelayMs = 10;
        route.hold = std::make_shared<std::atomic<bool>>(true);
        server.setRoute(modelPath, route);
        environment.insert("XDG_CONFIG_HOME", home.filePath("config"));
        environment.insert("XDG_DATA_HOME", home.filePath("data"));
        environment.insert("XDG_CACHE_HOME", home.filePath("cache"));
        environment.insert("TALLOWIND_MODEL_BASE_URL", server.baseUrl());
    }

    void TearDown() override
    {
        if (route.hold)
            *route.hold = false;
        for (QProcess* process : {&first, &third, &tray}) {
            if (process->state() == QProcess::NotRunning)
                continue;
            process->terminate();
            if (!process->waitForFinished(Patience::reply))
                process->kill();
        }
    }

    // On the session's display unless `display` names another.
    void start(QProcess& process, const QByteArray& launcherStartupId = {}, const QString& display = {})
    {
        QProcessEnvironment launched = environment;
        if (!launcherStartupId.isEmpty())
            launched.insert("DESKTOP_STARTUP_ID", QString::fromUtf8(launcherStartupId));
        if (!display.isEmpty())
            launched.insert("DISPLAY", display);
        process.setProcessEnvironment(launched);
        process.start(QCoreApplication::applicationDirPath() + "/../tallowind", {});
        ASSERT_TRUE(process.waitForStarted(Patience::reply));
    }

    // The server times around a start.
    struct Span {
        uint32_t from = 0;
        uint32_t to = 0;
    };

    // A start that must end at once, having asked `running` to show itself;
    // its log is checked. `launcherStartupId` plays a launcher's; `display`
    // is another session's.
    Span startAndExpectEnd(const char* when, const QProcess& running, const QByteArray& launcherStartupId = {},
        const QString& display = {})
    {
        SCOPED_TRACE(when);
        QProcess another;
        Span span{freshServerTime(), 0};
        start(another, launcherStartupId, display);
        EXPECT_TRUE(another.waitForFinished(Patience::transfer)) << "a start beside a running one did not end";
        span.to = freshServerTime();
        const QString log = QString::fromLocal8Bit(another.readAllStandardError());
        EXPECT_EQ(another.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(another.exitCode(), 0) << log.toStdString();
        const QString where =
            display.isEmpty() ? QString("in this session") : "on display " + qEnvironmentVariable("DISPLAY");
        EXPECT_EQ(log.count("Tallowind already runs " + where + " (process"), 1) << log.toStdString();
        EXPECT_TRUE(log.contains(QString("(process %1)").arg(running.processId()))) << log.toStdString();
        return span;
    }

    // The shown window named `title` that a client asked to activate, as an
    // application, at a time within `span`; 0 when none.
    uint32_t activatedWithin(Span span, const QString& title) const
    {
        for (const DesktopWatch::ActivationRequest& request : desktop.activationRequests())
            if (request.source == 1 && request.time >= span.from && request.time <= span.to
                && !windowGeometry(QString::number(request.window)).isEmpty()
                && run("xdotool", {"getwindowname", QString::number(request.window)}) == title)
                return request.window;
        return 0;
    }

    QString models() const { return home.filePath("data/Tallowind/Models"); }

    QStringList partFiles() const { return QDir(models()).entryList({"*.part"}, QDir::Files); }

    QTemporaryDir home;
    DesktopWatch desktop;
    QProcess tray;
    QProcess first;
    QProcess third;
    // The X server of another session of the user.
    PrivateXServer otherDisplay;
    LocalHttpServer server;
    HttpRoute route;
    const QString modelPath =
        "/orvandel/whisper.cpp/resolve/main/" + WhisperModel(WhisperModel::largeV3TurboQ5).fileName();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
};

} // namespace

TEST_F(OneInstancePerSession, ASecondStartShowsTheFirstAndLeavesItsDownloadAndAKilledOneBlocksNoStart)
{
    // The first start of a new user: the welcome window, its download
    // button focused.
    start(first);
    ASSERT_TRUE(pumpUntil([] { return panelShown("Welcome to Tallowind"); }, Patience::transfer));
    // A closed welcome window keeps its name: the one shown counts.
    const auto welcomeActive = [] {
        const QString active = run("xdotool", {"getactivewindow"});
        return !windowGeometry(active).isEmpty() && run("xdotool", {"getwindowname", active}) == "Welcome to Tallowind";
    };
    ASSERT_TRUE(pumpUntil(welcomeActive, Patience::reply));
    XTestKeyboard keyboard;
    ASSERT_TRUE(keyboard.isOpen());
    keyboard.tap("space");
    // The server holds the transfer half-way, its part-file on disk.
    ASSERT_TRUE(pumpUntil([&] { return !partFiles().isEmpty(); }, Patience::transfer)) << "the download did not start";

    // Started from a terminal: the start takes the server's time itself.
    const Span started = startAndExpectEnd("during the download", first);
    EXPECT_FALSE(partFiles().isEmpty()) << "the second start removed the first's part-file";
    EXPECT_TRUE(panelShown("Welcome to Tallowind"));
    EXPECT_TRUE(pumpUntil([&] { return activatedWithin(started, "Welcome to Tallowind") != 0; }, Patience::reply));

    // Closed and asked for again: the new welcome window follows the running
    // download, so the key that would start one starts no second transfer.
    // During the download Tab reaches the close button.
    keyboard.tap("Tab");
    keyboard.tap("space");
    ASSERT_TRUE(pumpUntil([] { return !panelShown("Welcome to Tallowind"); }, Patience::reply));
    // Started from a launcher: the window carries the launcher's id, asks
    // to come forward as of its time and ends the launcher's feedback.
    const uint32_t clicked = freshServerTime();
    const QByteArray launch = "launcher-" + QByteArray::number(clicked) + "_TIME" + QByteArray::number(clicked);
    startAndExpectEnd("after the welcome window was closed", first, launch);
    ASSERT_TRUE(pumpUntil(welcomeActive, Patience::reply));
    uint32_t welcome = 0;
    EXPECT_TRUE(pumpUntil(
        [&] {
            return (welcome = activatedWithin({clicked, clicked}, "Welcome to Tallowind"));
        },
        Patience::reply));
    EXPECT_EQ(run("xprop", {"-id", QString::number(welcome), "-notype", "_NET_STARTUP_ID"}),
        "_NET_STARTUP_ID = \"" + launch + '"');
    EXPECT_TRUE(
        pumpUntil([&] { return desktop.startupMessages().contains("remove: ID=\"" + launch + '"'); }, Patience::reply));
    keyboard.tap("space");

    *route.hold = false;
    const QString model = QDir(models()).filePath(WhisperModel(WhisperModel::largeV3TurboQ5).fileName());
    ASSERT_TRUE(pumpUntil([&] { return QFile(model).size() == route.generatedSize; }, Patience::transfer))
        << "the download did not complete";
    EXPECT_TRUE(partFiles().isEmpty());
    EXPECT_EQ(server.requestCount(modelPath), 1);
    EXPECT_TRUE(pumpUntil([] { return trayIcons() == 1; }, Patience::reply)) << trayIcons() << " tray icons";

    // A killed run leaves its lock and socket behind: the next start runs
    // all the same, with its model, and shows its popover when started again.
    first.kill();
    ASSERT_TRUE(first.waitForFinished(Patience::reply));
    ASSERT_TRUE(pumpUntil([] { return trayIcons() == 0; }, Patience::reply));
    start(third);
    ASSERT_TRUE(pumpUntil([] { return trayIcons() == 1; }, Patience::transfer)) << "the start after a kill did not run";
    EXPECT_EQ(third.state(), QProcess::Running);
    EXPECT_FALSE(panelShown("Tallowind"));
    startAndExpectEnd("after a kill", third);
    EXPECT_TRUE(pumpUntil([] { return panelShown("Tallowind"); }, Patience::reply)) << "no popover";
    EXPECT_FALSE(panelShown("Welcome to Tallowind"));

    // Started in another session of the user: nothing shows on its display,
    // so the line says where the running one is.
    ASSERT_TRUE(otherDisplay.start()) << "no second X server";
    startAndExpectEnd("on another display", third, {}, QString::fromLatin1(otherDisplay.display()));
}
