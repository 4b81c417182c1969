#include "app/TallowindApp.h"

#include "app/LinuxPlatformServices.h"
#include "app/QuitOnSignal.h"
#include "core/AppDelegate.h"
#include "platform/X11HotkeyTap.h"

#include <QApplication>
#include <QTimer>

int TallowindApp::main(int argc, char** argv)
{
    X11HotkeyTap::prepareProcess();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tallowind"));
    // A tray application: closing its last window does not end it.
    QApplication::setQuitOnLastWindowClosed(false);
    QuitOnSignal::install();

    AppDelegate delegate(makeLinuxPlatformServices());
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &delegate, [&delegate] {
        delegate.applicationWillTerminate();
    });
    // Launching has finished once the event loop runs.
    QTimer::singleShot(0, &delegate, [&delegate] { delegate.applicationDidFinishLaunching(); });
    return app.exec();
}
