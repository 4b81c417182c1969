#include "shell/tray/PopoverPlacement.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <cmath>

namespace PopoverPlacement {

QPoint originFor(QSize size, QRect anchor, std::optional<QPoint> saved, const std::vector<ScreenArea>& screens)
{
    if (saved) {
        const QRect panel(*saved, size);
        for (const ScreenArea& screen : screens)
            if (screen.geometry.intersects(panel))
                return *saved;
    }
    if (screens.empty())
        return anchor.bottomLeft();

    const ScreenArea* home = &screens.front();
    for (const ScreenArea& screen : screens)
        if (screen.geometry.contains(anchor.center())) {
            home = &screen;
            break;
        }
    const QRect area = home->available.isEmpty() ? home->geometry : home->available;
    const QRectF icon(anchor);
    double x = icon.center().x() - size.width() * 0.5;
    double y = icon.bottom() + gapBelowIcon;
    // A tray at the bottom of the screen: the panel opens upwards.
    if (y + size.height() > area.y() + area.height())
        y = icon.top() - gapBelowIcon - size.height();
    const int left = static_cast<int>(std::lround(x));
    const int top = static_cast<int>(std::lround(y));
    return {std::clamp(left, area.left(), std::max(area.left(), area.x() + area.width() - size.width())),
        std::clamp(top, area.top(), std::max(area.top(), area.y() + area.height() - size.height()))};
}

std::vector<ScreenArea> desktopScreens()
{
    std::vector<ScreenArea> result;
    QScreen* primary = QGuiApplication::primaryScreen();
    if (primary)
        result.push_back({primary->geometry(), primary->availableGeometry()});
    for (QScreen* screen : QGuiApplication::screens())
        if (screen != primary)
            result.push_back({screen->geometry(), screen->availableGeometry()});
    return result;
}

} // namespace PopoverPlacement
