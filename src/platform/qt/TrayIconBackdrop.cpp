#include "platform/qt/TrayIconBackdrop.h"

#include <QList>

#include <algorithm>

namespace TrayIconBackdrop {
namespace {

// Clear of the glyph also one pixel around: an icon of another state still
// on screen, or the tray's own scaling, smears the glyph's edge.
bool clearAround(const QImage& painted, int x, int y)
{
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
            const int px = x + dx;
            const int py = y + dy;
            if (painted.valid(px, py) && painted.pixelColor(px, py).alpha() > 0)
                return false;
        }
    return true;
}

} // namespace

std::optional<QColor> colourBehind(const QImage& panel, const QRect& icon, const QImage& painted)
{
    if (!panel.rect().contains(icon) || icon.size() != painted.size())
        return std::nullopt;
    QList<QColor> clear;
    for (int y = 0; y < icon.height(); ++y)
        for (int x = 0; x < icon.width(); ++x)
            if (clearAround(painted, x, y))
                clear.append(panel.pixelColor(icon.x() + x, icon.y() + y));
    // A few stray pixels are no backdrop to choose an ink by.
    if (clear.size() < 8)
        return std::nullopt;
    // The median lightness ignores the odd pixel of something else drawn
    // there, such as a highlight in one corner.
    std::sort(
        clear.begin(), clear.end(), [](const QColor& a, const QColor& b) { return a.lightness() < b.lightness(); });
    return clear.at(clear.size() / 2);
}

} // namespace TrayIconBackdrop
