#include "shell/indicator/DevicePixels.h"

#include <QGuiApplication>
#include <QScreen>

#include <cmath>

namespace DevicePixels {

namespace {

QRectF nativeArea(const ScreenScale& screen)
{
    return QRectF(screen.geometry.topLeft(), QSizeF(screen.geometry.size()) * screen.ratio);
}

// One reported pixel of rounding, scaled, and one device pixel.
bool agrees(double reported, double device, double factor)
{
    return std::abs(device - reported * factor) <= factor + 1.0;
}

std::optional<TargetScale> matching(const QRectF& reported, const QRect& device)
{
    const double reportedExtent = reported.width() + reported.height();
    if (!(reported.width() > 0) || !(reported.height() > 0) || device.isEmpty())
        return std::nullopt;
    const double factor = (device.width() + device.height()) / reportedExtent;
    if (!agrees(reported.width(), device.width(), factor) || !agrees(reported.height(), device.height(), factor))
        return std::nullopt;
    return TargetScale{factor, reported, QRectF(device)};
}

} // namespace

std::vector<ScreenScale> desktopScreens()
{
    std::vector<ScreenScale> screens;
    for (const QScreen* screen : QGuiApplication::screens())
        screens.push_back({screen->geometry(), screen->devicePixelRatio()});
    return screens;
}

std::optional<TargetScale> scaleOf(const QRectF& reportedWindow, const ActiveWindowGeometry& device)
{
    if (std::optional<TargetScale> client = matching(reportedWindow, device.client))
        return client;
    return matching(reportedWindow, device.frame);
}

QRectF toDevice(const QRectF& reported, const TargetScale& scale)
{
    const QPointF offset = (reported.topLeft() - scale.reported.topLeft()) * scale.factor;
    return QRectF(scale.device.topLeft() + offset, reported.size() * scale.factor);
}

std::optional<std::size_t> screenHolding(const QPointF& point, const std::vector<ScreenScale>& screens)
{
    for (std::size_t i = 0; i < screens.size(); ++i)
        if (nativeArea(screens[i]).contains(point))
            return i;
    return std::nullopt;
}

QRectF toLogical(const QRectF& device, const std::vector<ScreenScale>& screens)
{
    if (screens.empty())
        return device;
    const ScreenScale& screen = screens[screenHolding(device.center(), screens).value_or(0)];
    if (!(screen.ratio > 0))
        return device;
    const QPointF origin = screen.geometry.topLeft();
    return QRectF(origin + (device.topLeft() - origin) / screen.ratio, device.size() / screen.ratio);
}

FocusedElement inLogicalPixels(
    FocusedElement element, const std::optional<ActiveWindowGeometry>& window, const std::vector<ScreenScale>& screens)
{
    std::optional<TargetScale> scale;
    if (window && element.windowBounds)
        scale = scaleOf(*element.windowBounds, *window);
    const auto convert = [&](std::optional<QRectF>& rect) {
        if (rect)
            rect = toLogical(scale ? toDevice(*rect, *scale) : *rect, screens);
    };
    convert(element.bounds);
    convert(element.parentBounds);
    convert(element.windowBounds);
    return element;
}

} // namespace DevicePixels
