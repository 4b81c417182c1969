#include "app/TallowindApp.h"

#include "app/LinuxPlatformServices.h"
#include "app/QuitOnSignal.h"
#include "controller/AppDelegate.h"
#include "platform/x11/X11HotkeyTap.h"
#include "recording/RecordingManager.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

int TallowindApp::main(int argc, char** argv)
{
    X11HotkeyTap::prepareProcess();
    auto* app = new QApplication(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tallowind"));
    // A tray application: closing its last window does not end it.
    QApplication::setQuitOnLastWindowClosed(false);
    QuitOnSignal::install();

    // The controller lives until the process ends: transcription, saving
    // and model loading run on background queues that hold it, and one may
    // still be running when the user quits.
    const PlatformServices services = makeLinuxPlatformServices();
    RecordingManager::shared().setCaptureServices(services.audioCapture, services.microphonePermission);
    auto* delegate = new AppDelegate(services);
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
