// Starts of the real binary in one session with one home folder: a second
// start while the first downloads its first model finds the first, asks it
// to show itself and ends without touching the download, and a welcome
// window shown again follows that download; after the first is killed, the
// next start runs and answers a start after it.
#include "core/speech/WhisperModel.h"
#include "support/EventLoop.h"
#include "support/LocalHttpServer.h"
#include "support/Patience.h"
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

// Where the shown windows an xdotool search finds are.
QList<QRect> shownWindows(const QStringList& search)
{
    QList<QRect> found;
    for (const QString& id : run("xdotool", QStringList{"search"} + search).split('\n', Qt::SkipEmptyParts))
        if (const QRect rect = windowGeometry(id); !rect.isEmpty())
            found.append(rect);
    return found;
}

// Icons docked in the tray at the top of the screen.
qsizetype trayIcons()
{
    const QList<QRect> all = shownWindows({"--class", "Tallowind"});
    return std::count_if(all.begin(), all.end(), [](QRect each) { return each.width() <= 48 && each.y() < 40; });
}

bool panelShown(const QString& title)
{
    const QList<QRect> all = shownWindows({"--name", '^' + title + '$'});
    return std::any_of(all.begin(), all.end(), [](QRect each) { return each.width() > 100; });
}

class OneInstancePerSession : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY") || qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
            GTEST_SKIP() << "needs the private test session";
        ASSERT_TRUE(home.isValid());
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

    void start(QProcess& process)
    {
        process.setProcessEnvironment(environment);
        process.start(QCoreApplication::applicationDirPath() + "/../tallowind", {});
        ASSERT_TRUE(process.waitForStarted(Patience::reply));
    }

    // A start that must end at once, having asked the running one to show
    // itself; its log is checked.
    void startAndExpectEnd(const char* when)
    {
        SCOPED_TRACE(when);
        QProcess another;
        start(another);
        ASSERT_TRUE(another.waitForFinished(Patience::transfer)) << "a start beside a running one did not end";
        const QString log = QString::fromLocal8Bit(another.readAllStandardError());
        EXPECT_EQ(another.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(another.exitCode(), 0) << log.toStdString();
        EXPECT_EQ(log.count("Tallowind already runs in this session"), 1) << log.toStdString();
    }

    QString models() const { return home.filePath("data/Tallowind/Models"); }

    QStringList partFiles() const { return QDir(models()).entryList({"*.part"}, QDir::Files); }

    QTemporaryDir home;
    QProcess tray;
    QProcess first;
    QProcess third;
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

    startAndExpectEnd("during the download");
    EXPECT_FALSE(partFiles().isEmpty()) << "the second start removed the first's part-file";
    EXPECT_TRUE(panelShown("Welcome to Tallowind"));

    // Closed and asked for again: the new welcome window follows the running
    // download, so the key that would start one starts no second transfer.
    // During the download Tab reaches the close button.
    keyboard.tap("Tab");
    keyboard.tap("space");
    ASSERT_TRUE(pumpUntil([] { return !panelShown("Welcome to Tallowind"); }, Patience::reply));
    startAndExpectEnd("after the welcome window was closed");
    ASSERT_TRUE(pumpUntil(welcomeActive, Patience::reply));
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
    startAndExpectEnd("after a kill");
    EXPECT_TRUE(pumpUntil([] { return panelShown("Tallowind"); }, Patience::reply)) << "no popover";
    EXPECT_FALSE(panelShown("Welcome to Tallowind"));
}
