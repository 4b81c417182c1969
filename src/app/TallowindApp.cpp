#include "app/TallowindApp.h"

#include "app/LinuxPlatformServices.h"
#include "app/QuitOnSignal.h"
#include "controller/AppDelegate.h"
#include "core/speech/ModelManager.h"
#include "core/speech/WhisperPassParameters.h"
#include "downloads/PartFiles.h"
#include "platform/linux/ProcessorAllowance.h"
#include "platform/x11/X11DesktopCompositor.h"
#include "platform/x11/X11DisplayCheck.h"
#include "platform/x11/X11HotkeyTap.h"
#include "recording/RecordingManager.h"
#include "shell/AccessibleWindows.h"
#include "shell/WindowManager.h"
#include "shell/theme/Appearance.h"
#include "shell/theme/FocusVisibility.h"
#include "shell/theme/OutlinedIndicatorStyle.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

int TallowindApp::main(int argc, char** argv)
{
    // Without a display Qt aborts; say what is missing and end plainly.
    if (const QString reason = X11DisplayCheck::unavailableReason(); !reason.isEmpty()) {
        std::fprintf(stderr, "%s\n", reason.toLocal8Bit().constData());
        return 1;
    }
    X11HotkeyTap::prepareProcess();
    WhisperPassParameters::setProcessorAllowance(&ProcessorAllowance::current);
    auto* app = new QApplication(argc, argv);
    AccessibleWindows::install();
    QApplication::setStyle(new OutlinedIndicatorStyle);
    QApplication::setApplicationName(QStringLiteral("Tallowind"));
    // A tray application: closing its last window does not end it.
    QApplication::setQuitOnLastWindowClosed(false);
    QuitOnSignal::install();
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
    QTimer::singleShot(0, delegate, [delegate] { delegate->applicationDidFinishLaunching(); });
    const int status = QApplication::exec();

    // Termination has released the shortcuts and the microphone. Nothing is
    // torn down after it: destructors would race the background work above.
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(status);
}
