#include "app/QuitOnDisplayLoss.h"

#include "platform/x11/X11DisplayLoss.h"

#include <QCoreApplication>

namespace QuitOnDisplayLoss {
namespace {

std::function<void(int)> end;
// The steps that follow the event loop's end have begun.
bool quitting = false;
// The steps have run; the event loop turns only for the process's last work.
bool stepsDone = false;

// Qt ends the process as soon as this returns: the quit runs to its end
// here, its steps in the order the event loop's end takes them.
void quitHere()
{
    if (stepsDone)
        end(0);
    if (quitting)
        return;
    quitting = true;
    // Closes the windows as the menu's Quit does.
    QCoreApplication::quit();
    QMetaObject::invokeMethod(QCoreApplication::instance(), "aboutToQuit", Qt::DirectConnection);
    end(0);
}

} // namespace

void endAtOnceFromNowOn()
{
    stepsDone = true;
}

void install(std::function<void(int)> endProcess)
{
    end = std::move(endProcess);
    QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, [] { quitting = true; });
    X11DisplayLoss::install([] { QCoreApplication::quit(); }, quitHere);
}

} // namespace QuitOnDisplayLoss
