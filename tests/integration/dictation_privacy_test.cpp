// A whole dictation through the real tool, traced by strace: speaking,
// transcribing and pasting must never open an internet socket. The trace is
// of every thread and child of the `tallowind` process from its start to its
// end, so a library that phones home at start-up is caught as well.
#include "base/Defaults.h"
#include "core/config/AppConfig.h"
#include "core/speech/ModelManager.h"
#include "support/EventLoop.h"
#include "support/PasteTarget.h"
#include "support/Patience.h"
#include "support/SettingsReset.h"
#include "support/VirtualMicrophone.h"
#include "support/WhisperTestModel.h"
#include "support/XTestKeyboard.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

namespace {

QString traceText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// Whether the sound server has a recording stream open: the tool records.
bool microphoneInUse()
{
    QProcess pactl;
    pactl.start(
        QStringLiteral("pactl"), {QStringLiteral("list"), QStringLiteral("short"), QStringLiteral("source-outputs")});
    pactl.waitForFinished(5000);
    return !pactl.readAllStandardOutput().trimmed().isEmpty();
}

// The process strace started (its only child).
qint64 tracedChild(qint64 stracePid)
{
    QFile children(QStringLiteral("/proc/%1/task/%1/children").arg(stracePid));
    if (!children.open(QIODevice::ReadOnly))
        return 0;
    return children.readAll().trimmed().split(' ').front().toLongLong();
}

class DictationPrivacy : public DefaultsTest { };

} // namespace

TEST_F(DictationPrivacy, DictationOpensNoInternetSocket)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") || qEnvironmentVariableIsEmpty("PULSE_SERVER"))
        GTEST_SKIP() << "needs the private test session";
    const QString strace = QStandardPaths::findExecutable(QStringLiteral("strace"));
    ASSERT_FALSE(strace.isEmpty()) << "strace is a test package";
    const QString tool =
        QFileInfo(QCoreApplication::applicationDirPath() + QStringLiteral("/../tallowind")).absoluteFilePath();
    ASSERT_TRUE(QFileInfo::exists(tool)) << tool.toStdString();

    ASSERT_TRUE(WhisperTestModel::installActiveMicroModel());

    QTemporaryDir folder;
    const QString speech = folder.filePath(QStringLiteral("speech.wav"));
    ASSERT_TRUE(VirtualMicrophone::writeSpeech(speech, "nothing of this leaves the machine", 1.0));

    PasteTarget target;
    ASSERT_TRUE(target.start(testToolPath(QStringLiteral("paste_target_qt"))));
    ASSERT_TRUE(target.activate());

    const QString trace = folder.filePath(QStringLiteral("trace.txt"));
    QProcess traced;
    traced.setProcessChannelMode(QProcess::ForwardedChannels);
    traced.start(strace, {"-f", "-qq", "-e", "trace=socket,connect", "-o", trace, "--", tool});
    ASSERT_TRUE(traced.waitForStarted(5000));

    // Ready once the shortcut starts a recording; until the tool has taken
    // its shortcuts, a press goes to the focused window and is let go.
    XTestKeyboard keyboard;
    ASSERT_TRUE(keyboard.isOpen());
    bool recording = false;
    for (int attempt = 0; attempt < 30 && !recording; ++attempt) {
        keyboard.press("Alt_L");
        keyboard.press("w");
        recording = pumpUntil([] { return microphoneInUse(); }, 1000);
        if (!recording) {
            keyboard.release("w");
            keyboard.release("Alt_L");
        }
    }
    ASSERT_TRUE(recording) << "the tool never started recording";

    ASSERT_TRUE(VirtualMicrophone::play(speech));
    keyboard.release("w");
    keyboard.release("Alt_L");

    QString pasted;
    EXPECT_TRUE(pumpUntil(
        [&] {
            pasted = target.text();
            return !pasted.trimmed().isEmpty();
        },
        Patience::transcription))
        << "nothing was pasted";

    const qint64 pid = tracedChild(traced.processId());
    ASSERT_GT(pid, 0);
    ::kill(static_cast<pid_t>(pid), SIGTERM);
    ASSERT_TRUE(traced.waitForFinished(Patience::transfer));

    const QString lines = traceText(trace);
    // The trace saw the tool's own connections (display, sound, bus)...
    EXPECT_TRUE(lines.contains(QStringLiteral("socket(AF_UNIX"))) << lines.left(2000).toStdString();
    // ...and no internet socket of any kind.
    QStringList internet;
    for (const QString& line : lines.split('\n')) {
        if (line.contains(QStringLiteral("AF_INET")))
            internet.append(line);
    }
    EXPECT_TRUE(internet.isEmpty()) << internet.join('\n').toStdString();
}
