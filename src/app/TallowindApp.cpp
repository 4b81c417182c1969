#include "app/TallowindApp.h"

#include "app/LinuxPlatformServices.h"
#include "app/QuitOnDisplayLoss.h"
#include "app/QuitOnSignal.h"
#include "app/SingleInstance.h"
#include "base/Log.h"
#include "controller/AppDelegate.h"
#include "core/speech/ModelManager.h"
#include "core/speech/WhisperPassParameters.h"
#include "downloads/PartFiles.h"
#include "platform/linux/ProcessorAllowance.h"
#include "platform/x11/X11ClipboardHandOver.h"
#include "platform/x11/X11DesktopCompositor.h"
#include "platform/x11/X11DisplayCheck.h"
#include "platform/x11/X11HotkeyTap.h"
#include "platform/x11/X11StartToken.h"
#include "recording/RecordingManager.h"
#include "shell/theme/Appearance.h"
#include "shell/theme/FocusVisibility.h"
#include "shell/theme/OutlinedIndicatorStyle.h"
#include "shell/windows/AccessibleWindows.h"
#include "shell/windows/WindowManager.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace {

// " (process N)", or nothing when the other Tallowind did not say.
QString holderText(const SingleInstance& instance)
{
    return instance.holder() > 0 ? QStringLiteral(" (process %1)").arg(instance.holder()) : QString();
}

// "in this session", or the display the other Tallowind runs on when it is
// not this start's: one user's other session shows nothing here.
QString whereItRuns(const SingleInstance& instance, const QString& display)
{
    const QString theirs = instance.holderDisplay();
    if (theirs.isEmpty() || theirs == display)
        return QStringLiteral("in this session");
    return QStringLiteral("on display %1").arg(theirs);
}

// The status to end with when another Tallowind runs for this user.
std::optional<int> endIfAlreadyRunning(
    SingleInstance& instance, const QString& display, const QByteArray& launcherStartupId)
{
    // The token costs a round trip to the X server: only a start that finds
    // another Tallowind takes it.
    switch (instance.claim([&] { return X11StartToken::forThisStart(launcherStartupId); })) {
    case SingleInstance::Claim::first:
        if (!instance.problem().isEmpty())
            Log::system(QStringLiteral("[Tallowind] A later start cannot reach this one: %1").arg(instance.problem()));
        return std::nullopt;
    case SingleInstance::Claim::unchecked:
        Log::system(
            QStringLiteral("[Tallowind] Cannot tell whether Tallowind already runs: %1").arg(instance.problem()));
        return std::nullopt;
    case SingleInstance::Claim::alreadyRunning:
        Log::system(QStringLiteral("[Tallowind] Tallowind already runs %1%2; it was asked to show itself")
                        .arg(whereItRuns(instance, display), holderText(instance)));
        return 0;
    case SingleInstance::Claim::unanswered:
        Log::system(QStringLiteral("[Tallowind] Tallowind already runs in this session%1, but %2")
                        .arg(holderText(instance), instance.problem()));
        return 1;
    }
    return std::nullopt;
}

// Whether Qt's first choice in a QT_QPA_PLATFORM value ("wayland",
// "wayland-egl;xcb", "wayland:option") is one of its Wayland plugins.
bool firstPlatformIsWayland(const QByteArray& value)
{
    const QByteArray first = value.split(';').constFirst().split(':').constFirst().trimmed();
    return first.startsWith("wayland");
}

// Variables Qt reads while the application is made, and only for this
// process: the programs Tallowind starts later (file manager, settings) get
// the user's own values back.
//
// Under GNOME, Xfce, MATE and Cinnamon Qt's GTK platform theme starts GTK,
// and GTK's own accessibility bridge would register this process a second
// time: an empty application beside Qt's, which a screen reader may take
// for Tallowind. The bridge reads NO_AT_BRIDGE when GTK starts.
//
// The shortcuts, the paste and the window placement speak X11, so the
// windows must be X11 windows too, also in a Wayland session whose Qt has
// its Wayland plugin. Some Wayland desktops set QT_QPA_PLATFORM=wayland for
// the whole session: without Qt's Wayland plugin that would abort, and with
// it the windows would be Wayland windows. Any other platform the user chose
// (offscreen, say) still wins.
QApplication* makeApplication(const std::function<QApplication*()>& make)
{
    std::vector<std::pair<const char*, QByteArray>> startOnly{{"NO_AT_BRIDGE", "1"}};
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (platform.isEmpty()) {
        startOnly.emplace_back("QT_QPA_PLATFORM", "xcb");
    } else if (firstPlatformIsWayland(platform) && qEnvironmentVariableIsSet("DISPLAY")) {
        Log::system(QStringLiteral("[Tallowind] QT_QPA_PLATFORM asks for \"%1\"; Tallowind is an X11 client, so "
                                   "its windows use xcb on DISPLAY %2")
                        .arg(QString::fromLocal8Bit(platform), qEnvironmentVariable("DISPLAY")));
        startOnly.emplace_back("QT_QPA_PLATFORM", "xcb");
    }
    std::vector<std::optional<QByteArray>> before;
    for (const auto& [name, value] : startOnly) {
        before.push_back(qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt);
        qputenv(name, value);
    }
    QApplication* app = make();
    for (size_t i = 0; i < startOnly.size(); ++i) {
        if (before[i])
            qputenv(startOnly[i].first, *before[i]);
        else
            qunsetenv(startOnly[i].first);
    }
    return app;
}

// Termination has released the shortcuts and the microphone and stopped the
// downloads with their part-files. Nothing is torn down after it: destructors
// would race the background work the controller started.
[[noreturn]] void endProcess(int status)
{
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(status);
}

} // namespace

int TallowindApp::main(int argc, char** argv)
{
    // Without a display Qt aborts; say what is missing and end plainly.
    if (const QString reason = X11DisplayCheck::unavailableReason(); !reason.isEmpty()) {
        std::fprintf(stderr, "%s\n", reason.toLocal8Bit().constData());
        return 1;
    }
    X11HotkeyTap::prepareProcess();
    WhisperPassParameters::setProcessorAllowance(&ProcessorAllowance::current);
    // Qt takes the launcher's startup id for itself once it connects to the
    // display; a second start hands it on to the running Tallowind.
    const QByteArray launcherStartupId = qgetenv("DESKTOP_STARTUP_ID");
    auto* app = makeApplication([&] { return new QApplication(argc, argv); });
    AccessibleWindows::install();
    QApplication::setStyle(new OutlinedIndicatorStyle);
    QApplication::setApplicationName(QStringLiteral("Tallowind"));
    // A tray application: closing its last window does not end it.
    QApplication::setQuitOnLastWindowClosed(false);
    // Before any file is touched: a second Tallowind of this user would take
    // the first's downloads and recordings for leftovers.
    const QString display = qEnvironmentVariable("DISPLAY");
    auto* instance = new SingleInstance(SingleInstance::runtimeFolder(), display, app);
    if (const std::optional<int> status = endIfAlreadyRunning(*instance, display, launcherStartupId)) {
        delete app;
        return *status;
    }
    QuitOnSignal::install();
    QuitOnDisplayLoss::install(endProcess);
    FocusVisibility::install(app);
    // Without a compositing manager, windows are opaque instead of translucent.
    Appearance::shared().setCompositor(std::make_shared<X11DesktopCompositor>());

    // The controller lives until the process ends: transcription, saving
    // and model loading run on background queues that hold it, and one may
    // still be running when the user quits.
    // Downloads that an earlier run left unfinished.
    PartFiles::removeStrayPartFiles(ModelManager::shared().modelsDirectory());
    const PlatformServices services = makeLinuxPlatformServices();
    RecordingManager::shared().setCaptureServices(services.audioCapture, services.microphonePermission);
    auto* delegate = new AppDelegate(services);
    WindowManager::shared().setApplicationDelegate(delegate);
    QObject::connect(
        app, &QCoreApplication::aboutToQuit, delegate, [delegate] { delegate->applicationWillTerminate(); });
    // Launching has finished once the event loop runs.
    QTimer::singleShot(0, delegate, [delegate, instance] {
        delegate->applicationDidFinishLaunching();
        QObject::connect(instance, &SingleInstance::showRequested, delegate, &AppDelegate::handleSecondStart);
        instance->acceptRequests();
    });
    const int status = QApplication::exec();
    // The quit is over for the user, who may start Tallowind again at once:
    // that start must not ask this one to show itself.
    instance->giveUp();
    // Termination gave the user's clipboard back to this process; Qt would
    // hand it to the clipboard manager only when torn down. The X server's
    // loss ends the process without it.
    QuitOnDisplayLoss::endAtOnceFromNowOn();
    X11ClipboardHandOver::toClipboardManager([status] { endProcess(status); });
    endProcess(status);
}
