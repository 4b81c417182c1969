#include "shell/windows/ScreenInUse.h"

#include "platform/FrontmostApplication.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

namespace ScreenInUse {

std::size_t indexFor(const std::optional<QRect>& activeFrame, const QPointF& pointer,
    const std::vector<DevicePixels::ScreenScale>& screens)
{
    if (activeFrame && !activeFrame->isEmpty())
        if (const auto holding = DevicePixels::screenHolding(QRectF(*activeFrame).center(), screens))
            return *holding;
    for (std::size_t i = 0; i < screens.size(); ++i)
        if (QRectF(screens[i].geometry).contains(pointer))
            return i;
    return 0;
}

QScreen* screen(const FrontmostApplication* frontmost)
{
    const QList<QScreen*> screens = QGuiApplication::screens();
    if (screens.isEmpty())
        return nullptr;
    std::optional<QRect> frame;
    if (frontmost)
        if (const std::optional<ActiveWindowGeometry> active = frontmost->windowGeometry())
            frame = active->frame;
    // The list and Qt's screens are in the same order.
    const std::size_t index = indexFor(frame, QCursor::pos(), DevicePixels::desktopScreens());
    return index < static_cast<std::size_t>(screens.size()) ? screens.at(static_cast<qsizetype>(index))
                                                            : QGuiApplication::primaryScreen();
}

} // namespace ScreenInUse
