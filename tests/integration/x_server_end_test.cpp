// The X server of the tool's session ends under the real binary, as at a
// logout or when a remote session drops: while it is idle, with a window
// open, during a push-to-talk hold and during a transcription. Each time the
// tool quits once, from its main thread, with status 0, and leaves its
// settings and its recordings index readable. So do a shutdown's SIGTERM
// and SIGHUP, and a closed terminal's SIGHUP. It is started as from a
// Wayland session's terminal, also one that asks Qt for Wayland, and its
// windows are X11 windows all the same. The user's clipboard, which the tool
// holds after a paste, goes to the session's clipboard manager at a quit;
// with no manager, or with the server gone, none is waited for. A manager
// that never answers holds the end up to the bound and no longer, not even
// with a modal loop running inside the wait; one that dies mid-transfer ends
// the wait at once; a start during the wait is a Tallowind of its own.
#include "core/speech/ModelManager.h"
#include "core/speech/WhisperModel.h"
#include "platform/x11/X11ClipboardHandOver.h"
#include "recording/RecordingsIndex.h"
#include "support/EventLoop.h"
#include "support/LogCapture.h"
#include "support/PasteTarget.h"
#include "support/Patience.h"
#include "support/PrivateXServer.h"
#include "support/VirtualMicrophone.h"
#include "support/WhisperTestModel.h"
#include "support/XTestKeyboard.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>

namespace {

constexpr unsigned int altMask = 8; // Mod1

const QString handOverLine = QStringLiteral("[X11ClipboardHandOver] Handing the clipboard to the clipboard manager");
const QString boundLine =
    QStringLiteral("[X11ClipboardHandOver] The clipboard manager did not take the clipboard within");
const QString managerGoneLine =
    QStringLiteral("[X11ClipboardHandOver] The clipboard manager went away before it took the clipboard");

// The formats of the slow clipboard owner's "formats" answer, in any order:
// each clipboard manager lists what it saved in an order of its own.
QStringList formatSet(const QByteArray& answer)
{
    QStringList formats = QString::fromLatin1(answer.mid(8)).split(',');
    formats.sort();
    return formats;
}
QByteArray dataLine(const QByteArray& bytes)
{
    return "data " + bytes.toBase64();
}

class XServerEndsUnderTheTool : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY") || qEnvironmentVariableIsEmpty("PULSE_SERVER"))
            GTEST_SKIP() << "needs the private test session";
        ASSERT_TRUE(home.isValid());
        // The published tiny model's shapes: a pass takes seconds, so a
        // transcription still runs when the server ends.
        ASSERT_NO_FATAL_FAILURE(writeModel(WhisperTestModel::Shape::tiny()));
        // An earlier recording, which every end must leave in the index.
        const QString recordings = home.filePath("data/Tallowind/Recordings");
        ASSERT_TRUE(QDir().mkpath(recordings));
        ASSERT_TRUE(VirtualMicrophone::writeSpeech(home.filePath("speech.wav"), "write this down", 0.3, 0.5));
        ASSERT_TRUE(QFile::copy(home.filePath("speech.wav"), recordings + "/earlier.wav"));
        earlier = {.filename = "earlier.wav",
            .timestamp = 7e8,
            .duration = 1,
            .sampleRate = 22050,
            .transcription = "write this down",
            .modelUsed = "large-v3-turbo-q5_0",
            .fileSize = QFileInfo(recordings + "/earlier.wav").size()};
        QString error;
        ASSERT_TRUE(RecordingsIndex::write(indexPath(), {earlier}, error)) << error.toStdString();

        environment.insert("XDG_CONFIG_HOME", home.filePath("config"));
        environment.insert("XDG_DATA_HOME", home.filePath("data"));
        environment.insert("XDG_CACHE_HOME", home.filePath("cache"));
        // Started from a Plasma Wayland session's terminal: the tool still
        // asks for X11, where its shortcuts, paste and windows live.
        environment.insert("XDG_SESSION_TYPE", "wayland");
        environment.insert("XDG_CURRENT_DESKTOP", "KDE");
        environment.insert("WAYLAND_DISPLAY", "wayland-tallowind-test");
        environment.remove("QT_QPA_PLATFORM");
    }

    // The model the tool finds at its start, of the given shapes.
    void writeModel(const WhisperTestModel::Shape& shape)
    {
        const QString models = home.filePath("data/Tallowind/Models");
        ASSERT_TRUE(QDir().mkpath(models));
        ASSERT_TRUE(WhisperTestModel::write(models + '/' + WhisperModel(WhisperModel::largeV3TurboQ5).fileName(), shape,
            WhisperTestModel::WeightType::F16));
    }

    void TearDown() override
    {
        for (QProcess* process : {&tool, &later}) {
            if (process->state() == QProcess::NotRunning)
                continue;
            process->kill();
            process->waitForFinished(Patience::reply);
        }
        // The rounds' displays leave nothing behind in /tmp.
        server.stop();
        EXPECT_EQ(server.leftovers(), QStringList()) << display.toStdString();
    }

    QString indexPath() const { return home.filePath("data/Tallowind/Recordings/") + RecordingsIndex::fileName; }

    // An X server of the round's own, and the tool on it holding its
    // shortcuts; `platform` is the session's QT_QPA_PLATFORM, if it sets one.
    void startRound(const QString& platform = {})
    {
        // The last round's server outlives its tool, for what is read after the quit.
        server.stop();
        if (platform.isEmpty())
            environment.remove("QT_QPA_PLATFORM");
        else
            environment.insert("QT_QPA_PLATFORM", platform);
        ASSERT_TRUE(server.start()) << "no X server";
        display = server.display();
        environment.insert("DISPLAY", QString::fromLatin1(display));
        log.clear();
        startTool(tool);
        ASSERT_TRUE(pumpUntil([&] { return keyGrabbedElsewhere("w", altMask, display); }, Patience::transfer))
            << "the tool did not take its shortcut";
    }

    void startTool(QProcess& process)
    {
        process.setProcessEnvironment(environment);
        // As from a terminal: the test runner may ignore hang-ups, and an
        // ignored signal would stay ignored in the tool.
        process.setChildProcessModifier([] { std::signal(SIGHUP, SIG_DFL); });
        process.start(QCoreApplication::applicationDirPath() + "/../tallowind", {});
        ASSERT_TRUE(process.waitForStarted(Patience::reply));
    }

    bool logShows(const QString& line)
    {
        return pumpUntil(
            [&] {
                log += QString::fromLocal8Bit(tool.readAllStandardError());
                return log.contains(line);
            },
            Patience::transfer);
    }

    // xdotool on the round's display; true when it succeeded.
    bool xdotool(const QStringList& arguments)
    {
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start("xdotool", arguments);
        return process.waitForFinished(Patience::reply) && process.exitStatus() == QProcess::NormalExit
            && process.exitCode() == 0;
    }

    // The test model whose passes take a blink and always give text, for
    // rounds that need a paste; for the tool's next start.
    void useQuickModel()
    {
        ASSERT_NO_FATAL_FAILURE(writeModel(WhisperTestModel::Shape::micro()));
        QFile settings(home.filePath("config/Tallowind/Tallowind.json"));
        ASSERT_TRUE(QDir().mkpath(home.filePath("config/Tallowind")));
        ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
        settings.write(
            QJsonDocument(QJsonObject{{"WhisperBeamSize", 1}, {"WhisperBestOf", 1}, {"WhisperNoFallback", true}})
                .toJson());
    }

    // A clipboard manager in `mode` ("" answers, "never-answers",
    // "dies-mid-transfer") joins the round's session, then the user copies
    // and dictates.
    void dictateWithManager(PasteTarget& manager, const QString& mode, PasteTarget& user)
    {
        ASSERT_TRUE(manager.start(
            testToolPath("clipboard_manager"), mode.isEmpty() ? QStringList{} : QStringList{mode}, environment));
        copyAndDictate(user);
    }

    // The user copies on the round's display and dictates; returns once the
    // paste has taken the clipboard from the user's application: from then
    // on the tool holds the user's contents at a quit, given back at once
    // during a paste.
    void copyAndDictate(PasteTarget& user)
    {
        ASSERT_TRUE(user.start(testToolPath("slow_clipboard_owner"), {"1", "0"}, environment));
        ASSERT_FALSE(user.ask("copy", "copied").isEmpty());
        ASSERT_TRUE(xdotool({"keydown", "alt+w"}));
        ASSERT_TRUE(logShows("[AppDelegate] Loading model")) << "the hold started no recording";
        ASSERT_TRUE(VirtualMicrophone::play(home.filePath("speech.wav")));
        ASSERT_TRUE(xdotool({"keyup", "alt+w"}));
        ASSERT_TRUE(pumpUntil([&] { return user.ask("owns", "owns ") == "owns no"; }, Patience::transcription))
            << "nothing was pasted";
    }

    // Ends the round's X server and checks how the tool ended.
    void endServerAndExpectQuit()
    {
        server.stop();
        ASSERT_TRUE(tool.waitForFinished(Patience::transfer)) << "the tool outlived its X server";
        log += QString::fromLocal8Bit(tool.readAllStandardError());
        EXPECT_EQ(log.count("[X11DisplayLoss] The connection to the X server broke; quitting"), 1) << log.toStdString();
        EXPECT_FALSE(log.contains("XIO:")) << log.toStdString();
        EXPECT_FALSE(log.contains(handOverLine)) << log.toStdString();
        expectQuitAsAQuitEnds();
    }

    // Sends the tool `signalNumbers` one right after the other and checks how it
    // ended.
    void signalAndExpectQuit(std::initializer_list<int> signalNumbers)
    {
        for (int number : signalNumbers)
            ::kill(static_cast<pid_t>(tool.processId()), number);
        ASSERT_TRUE(tool.waitForFinished(Patience::transfer)) << "the tool outlived the signals";
        expectQuitAsAQuitEnds();
    }

    // The ended tool's status, log, settings and recordings index.
    void expectQuitAsAQuitEnds()
    {
        log += QString::fromLocal8Bit(tool.readAllStandardError());
        EXPECT_EQ(tool.exitStatus(), QProcess::NormalExit) << log.toStdString();
        EXPECT_EQ(tool.exitCode(), 0) << log.toStdString();
        // Qt looks for no Wayland plugin; the tool's own line about a
        // session that asked for one aside.
        QStringList qtLines = log.split('\n');
        qtLines.removeIf([](const QString& line) { return line.startsWith("[Tallowind] QT_QPA_PLATFORM asks for"); });
        EXPECT_FALSE(qtLines.join('\n').contains("wayland", Qt::CaseInsensitive)) << "Qt was asked for Wayland";

        QFile settings(home.filePath("config/Tallowind/Tallowind.json"));
        ASSERT_TRUE(settings.open(QIODevice::ReadOnly));
        EXPECT_TRUE(QJsonDocument::fromJson(settings.readAll()).object().contains(ModelManager::activeModelKey));
        const RecordingsIndex::Contents index = RecordingsIndex::load(indexPath());
        EXPECT_FALSE(index.unreadable) << index.error.toStdString();
        EXPECT_TRUE(index.entries.contains(earlier));
    }

    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    PrivateXServer server;
    QProcess tool;
    // A start while the tool quits.
    QProcess later;
    QByteArray display;
    QString log;
    RecordingMetadata earlier;
};

} // namespace

TEST_F(XServerEndsUnderTheTool, IdleWithAWindowDuringAHoldAndDuringATranscription)
{
    {
        SCOPED_TRACE("idle");
        ASSERT_NO_FATAL_FAILURE(startRound());
        ASSERT_NO_FATAL_FAILURE(endServerAndExpectQuit());
    }
    {
        // A second start on the display shows the Settings window (no tray
        // runs there).
        SCOPED_TRACE("with a window open, in a session that asks Qt for Wayland");
        ASSERT_NO_FATAL_FAILURE(startRound("wayland"));
        QProcess second;
        second.setProcessEnvironment(environment);
        second.start(QCoreApplication::applicationDirPath() + "/../tallowind", {});
        ASSERT_TRUE(second.waitForFinished(Patience::transfer));
        EXPECT_EQ(second.exitCode(), 0);
        ASSERT_TRUE(pumpUntil(
            [&] {
                return xdotool({"search", "--onlyvisible", "--name", "^Settings$"});
            },
            Patience::reply))
            << "no Settings window";
        ASSERT_NO_FATAL_FAILURE(endServerAndExpectQuit());
    }
    {
        SCOPED_TRACE("during a push-to-talk hold");
        ASSERT_NO_FATAL_FAILURE(startRound());
        ASSERT_TRUE(xdotool({"keydown", "alt+w"}));
        ASSERT_TRUE(logShows("[AppDelegate] Loading model")) << "the hold started no recording";
        ASSERT_NO_FATAL_FAILURE(endServerAndExpectQuit());
    }
    {
        SCOPED_TRACE("during a transcription");
        ASSERT_NO_FATAL_FAILURE(startRound());
        ASSERT_TRUE(xdotool({"keydown", "alt+w"}));
        ASSERT_TRUE(logShows("[AppDelegate] Loading model")) << "the hold started no recording";
        ASSERT_TRUE(VirtualMicrophone::play(home.filePath("speech.wav")));
        ASSERT_TRUE(xdotool({"keyup", "alt+w"}));
        ASSERT_TRUE(logShows("[AppDelegate] Calling whisperWrapper.transcribe"));
        ASSERT_NO_FATAL_FAILURE(endServerAndExpectQuit());
        EXPECT_FALSE(log.contains("Transcription successful")) << "the transcription ended before the X server";
    }
}

TEST_F(XServerEndsUnderTheTool, ShutdownsAndHangUpsEndItAsAQuitDoes)
{
    ASSERT_NO_FATAL_FAILURE(useQuickModel());
    {
        SCOPED_TRACE("a shutdown after a dictation: SIGTERM and SIGHUP at once, with a clipboard manager");
        ASSERT_NO_FATAL_FAILURE(startRound("wayland-egl;xcb"));
        PasteTarget manager, user;
        ASSERT_NO_FATAL_FAILURE(dictateWithManager(manager, "", user));
        ASSERT_NO_FATAL_FAILURE(signalAndExpectQuit({SIGTERM, SIGHUP}));
        EXPECT_EQ(log.count("[Tallowind] QT_QPA_PLATFORM asks for \"wayland-egl;xcb\""), 1) << log.toStdString();
        EXPECT_EQ(log.count(handOverLine), 1) << log.toStdString();
        // Read from the manager, which holds the clipboard now.
        EXPECT_EQ(formatSet(user.ask("formats", "formats ")),
            QStringList({"application/x-slow-format-0", "image/png", "text/plain"}));
        EXPECT_EQ(user.ask("data text/plain", "data "), dataLine("user text"));
        EXPECT_EQ(user.ask("data image/png", "data "), dataLine(QByteArray("\x89PNG\r\n\x1a\nnot really pixels", 25)));
        EXPECT_EQ(user.ask("data application/x-slow-format-0", "data "), dataLine("application/x-slow-format-0"));
    }
    {
        SCOPED_TRACE("the terminal closed during a push-to-talk hold");
        ASSERT_NO_FATAL_FAILURE(startRound());
        ASSERT_TRUE(xdotool({"keydown", "alt+w"}));
        ASSERT_TRUE(logShows("[AppDelegate] Loading model")) << "the hold started no recording";
        ASSERT_NO_FATAL_FAILURE(signalAndExpectQuit({SIGHUP}));
    }
    {
        SCOPED_TRACE("a quit after a dictation with no clipboard manager: nothing is waited for");
        ASSERT_NO_FATAL_FAILURE(startRound());
        PasteTarget user;
        ASSERT_NO_FATAL_FAILURE(copyAndDictate(user));
        ASSERT_NO_FATAL_FAILURE(signalAndExpectQuit({SIGTERM}));
        EXPECT_FALSE(log.contains("[X11ClipboardHandOver]")) << log.toStdString();
    }
}

TEST_F(XServerEndsUnderTheTool, AClipboardManagerThatFailsHoldsTheQuitNoLongerThanTheBound)
{
    ASSERT_NO_FATAL_FAILURE(useQuickModel());
    {
        SCOPED_TRACE("a manager that never answers, and a start during the wait");
        ASSERT_NO_FATAL_FAILURE(startRound());
        PasteTarget manager, user;
        ASSERT_NO_FATAL_FAILURE(dictateWithManager(manager, "never-answers", user));
        ::kill(static_cast<pid_t>(tool.processId()), SIGTERM);
        ASSERT_TRUE(logShows(handOverLine)) << log.toStdString();
        ASSERT_FALSE(manager.awaitLine("ignored").isEmpty());
        ASSERT_NO_FATAL_FAILURE(startTool(later));
        ASSERT_TRUE(tool.waitForFinished(Patience::transfer)) << "the wait outlived its bound";
        log += QString::fromLocal8Bit(tool.readAllStandardError());
        EXPECT_EQ(log.count(boundLine), 1) << log.toStdString();
        EXPECT_EQ(tool.exitCode(), 0);
        // The later start is the user's Tallowind now: it holds the shortcut
        // the quit gave up, and stays.
        ASSERT_TRUE(pumpUntil([&] { return keyGrabbedElsewhere("w", altMask, display); }, Patience::transfer))
            << "the later start took no shortcut: " << later.readAllStandardError().toStdString();
        EXPECT_EQ(later.state(), QProcess::Running) << later.readAllStandardError().toStdString();
        EXPECT_FALSE(later.readAllStandardError().contains("already runs"));
        later.terminate();
        EXPECT_TRUE(later.waitForFinished(Patience::reply));
    }
    {
        SCOPED_TRACE("a manager that dies mid-transfer");
        ASSERT_NO_FATAL_FAILURE(startRound());
        PasteTarget manager, user;
        ASSERT_NO_FATAL_FAILURE(dictateWithManager(manager, "dies-mid-transfer", user));
        ASSERT_NO_FATAL_FAILURE(signalAndExpectQuit({SIGTERM}));
        EXPECT_EQ(log.count(managerGoneLine), 1) << log.toStdString();
        EXPECT_FALSE(log.contains(boundLine)) << log.toStdString();
    }
}

// A round's server that had to be killed leaves its socket; ending it
// removes that, and a server beside it keeps its own.
TEST(ARoundsXServer, KilledLeavesNothingOfItsDisplay)
{
    PrivateXServer killed, beside;
    ASSERT_TRUE(killed.start());
    ASSERT_TRUE(beside.start());
    const QString socket = "/tmp/.X11-unix/X" + QString::fromLatin1(killed.display().mid(1));
    ASSERT_TRUE(QFileInfo::exists(socket));
    ::kill(static_cast<pid_t>(killed.processId()), SIGKILL);
    killed.stop();
    EXPECT_EQ(killed.leftovers(), QStringList()) << killed.display().toStdString();
    EXPECT_TRUE(QFileInfo::exists("/tmp/.X11-unix/X" + QString::fromLatin1(beside.display().mid(1))));
}

// In this process: a modal loop that starts inside the wait and that nothing
// ends but the bound.
TEST(ClipboardHandOverBound, HoldsWhileAModalLoopRunsInTheWait)
{
    if (QGuiApplication::platformName() != "xcb")
        GTEST_SKIP() << "needs the private test session";
    PasteTarget manager;
    ASSERT_TRUE(manager.start(testToolPath("clipboard_manager"), {"never-answers"}));
    QGuiApplication::clipboard()->setText(QStringLiteral("the user's text"));
    ASSERT_TRUE(pumpUntil([] { return QGuiApplication::clipboard()->ownsClipboard(); }));
    LogCapture captured;
    QPointer<QEventLoop> modal;
    QTimer::singleShot(0, [&modal] {
        QEventLoop loop;
        modal = &loop;
        loop.exec();
    });
    std::atomic<bool> ended{false};
    X11ClipboardHandOver::toClipboardManager(
        [&] {
            ended = true;
            // What ends the process in the tool lets the modal loop go here.
            QMetaObject::invokeMethod(QCoreApplication::instance(), [&modal] {
                if (modal)
                    modal->quit();
            });
        },
        std::chrono::milliseconds(1000));
    EXPECT_TRUE(ended);
    EXPECT_TRUE(captured.systemLines().join('\n').contains(boundLine + " 1000 ms"))
        << captured.systemLines().join('\n').toStdString();
}
