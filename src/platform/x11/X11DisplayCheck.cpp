#include "platform/x11/X11DisplayCheck.h"

#include <QtGlobal>

#include <X11/Xlib.h>

namespace X11DisplayCheck {

QString unavailableReason()
{
    const QByteArray name = qgetenv("DISPLAY");
    if (name.isEmpty())
        return QStringLiteral("Tallowind needs an X display, but DISPLAY is not set. "
                              "Start it from a desktop session, or set DISPLAY (for example DISPLAY=:0).");
    Display* display = XOpenDisplay(name.constData());
    if (!display)
        return QStringLiteral("Tallowind needs an X display, but the display DISPLAY names (\"%1\") "
                              "cannot be opened. Check that the X server runs and that DISPLAY is right.")
            .arg(QString::fromLocal8Bit(name));
    XCloseDisplay(display);
    return {};
}

} // namespace X11DisplayCheck
