#include "platform/x11/X11DisplayLoss.h"

#include "base/Dispatch.h"
#include "base/Log.h"

#include <QGuiApplication>

#include <X11/Xlib.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <csignal>
#include <mutex>
#include <unistd.h>
#include <utility>
#include <vector>

namespace X11DisplayLoss {
namespace {

std::mutex watchedMutex;
std::vector<Display*> watchedDisplays;
// Held while the first report logs: another thread's report, and with it
// an end of the process that follows it, waits for the line.
std::mutex reportMutex;
bool reported = false;
// Set by install() on the main thread; called on the main thread only.
std::function<void()> quitOnMain;
std::function<void()> endOnMain;
xcb_connection_t* qtConnection = nullptr;
QtMessageHandler previousMessageHandler = nullptr;

bool isWatched(Display* display)
{
    std::lock_guard lock(watchedMutex);
    return std::find(watchedDisplays.begin(), watchedDisplays.end(), display) != watchedDisplays.end();
}

void addWatched(Display* display)
{
    std::lock_guard lock(watchedMutex);
    watchedDisplays.push_back(display);
}

void markLost(Display*, void* lost)
{
    static_cast<std::atomic<bool>*>(lost)->store(true);
    report();
}

// Qt goes on with its work on its display after the call that found the
// loss returns, and Xlib, which sends nothing more, crashes once its buffer
// is full. On the main thread the quit runs to its end right here, as Qt's
// own check of its connection would have it.
void endOnQtDisplayLoss(Display*, void*)
{
    report();
    if (Dispatch::isMainThread() && endOnMain)
        endOnMain();
}

// Xlib calls this first for any broken Display of the process, then the
// Display's own exit handler: Xlib's default one ends the process from this
// thread.
int onBrokenConnection(Display* display)
{
    report();
    if (isWatched(display))
        return 0;
    // A display a library opened, with the default exit handler.
    if (Dispatch::isMainThread()) {
        if (endOnMain)
            endOnMain();
        return 0;
    }
    // Never back into Xlib from here: the main thread ends the process.
    for (;;)
        pause();
}

// Qt's dispatcher warns when it finds its connection broken and ends the
// process as soon as the warning has been written.
void onQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    previousMessageHandler(type, context, message);
    if (type != QtWarningMsg || !Dispatch::isMainThread() || !qtConnection || !xcb_connection_has_error(qtConnection))
        return;
    report();
    if (endOnMain)
        endOnMain();
}

} // namespace

void install(std::function<void()> quit, std::function<void()> endHere)
{
    quitOnMain = std::move(quit);
    endOnMain = std::move(endHere);
    // xcb writes to the server's socket without MSG_NOSIGNAL: a request sent
    // after the server closed it would end the process by SIGPIPE before any
    // read found the loss. Ignored, the write fails and Xlib reports it here.
    struct sigaction ignore { };
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, nullptr);
    XSetIOErrorHandler(onBrokenConnection);
    if (auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr) {
        qtConnection = x11->connection();
        if (Display* display = x11->display()) {
            addWatched(display);
            XSetIOErrorExitHandler(display, endOnQtDisplayLoss, nullptr);
        }
    }
    previousMessageHandler = qInstallMessageHandler(onQtMessage);
}

void watch(Display* display, std::atomic<bool>& lost)
{
    addWatched(display);
    XSetIOErrorExitHandler(display, markLost, &lost);
}

void forget(Display* display)
{
    std::lock_guard lock(watchedMutex);
    watchedDisplays.erase(std::remove(watchedDisplays.begin(), watchedDisplays.end(), display), watchedDisplays.end());
}

void report()
{
    std::lock_guard lock(reportMutex);
    if (std::exchange(reported, true))
        return;
    Log::system(QStringLiteral("[X11DisplayLoss] The connection to the X server broke; quitting"));
    Dispatch::main().async([] {
        if (quitOnMain)
            quitOnMain();
    });
}

bool lost()
{
    std::lock_guard lock(reportMutex);
    return reported;
}

} // namespace X11DisplayLoss
