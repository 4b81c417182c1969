#include "shell/indicator/IndicatorPlacement.h"

#include <QGuiApplication>
#include <QScreen>

#include <cmath>

namespace IndicatorPlacement {

std::vector<Screen> desktopScreens(const QScreen* first)
{
    std::vector<Screen> screens;
    if (!first)
        first = QGuiApplication::primaryScreen();
    if (first)
        screens.push_back({first->geometry(), first->availableGeometry()});
    for (const QScreen* screen : QGuiApplication::screens())
        if (screen != first)
            screens.push_back({screen->geometry(), screen->availableGeometry()});
    return screens;
}

std::optional<Screen> screenForField(const QRectF& field, const std::vector<Screen>& screens)
{
    if (screens.empty())
        return std::nullopt;
    const QPointF centre = field.center();
    for (const Screen& screen : screens)
        if (QRectF(screen.geometry).contains(centre))
            return screen;
    return screens.front();
}

QPoint originFor(const QSize& panelSize, const std::optional<QRectF>& field, const std::vector<Screen>& screens)
{
    const double width = panelSize.width();
    const double height = panelSize.height();
    if (!field) {
        if (screens.empty())
            return originWithoutScreen;
        const QRectF whole(screens.front().geometry);
        return QPoint(static_cast<int>(std::lround(whole.center().x() - width / 2)),
            static_cast<int>(std::lround(whole.top() + whole.height() / 3 - height)));
    }

    double x = field->center().x() - width / 2;
    double y = field->top() - fieldGap - height;
    if (const std::optional<Screen> screen = screenForField(*field, screens)) {
        const QRectF usable(screen->availableGeometry);
        if (x < usable.left())
            x = usable.left() + screenInset;
        else if (x + width > usable.right())
            x = usable.right() - width - screenInset;
        // No room above: below the field instead.
        if (y < usable.top())
            y = field->bottom() + fieldGap;
        // A field too tall for either: the indicator overlaps its lower part.
        if (y + height > usable.bottom())
            y = usable.bottom() - height - screenInset;
    }
    return QPoint(static_cast<int>(std::lround(x)), static_cast<int>(std::lround(y)));
}

} // namespace IndicatorPlacement
