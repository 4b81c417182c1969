#pragma once

#include <QPoint>
#include <QRect>
#include <QRectF>
#include <QSize>

#include <optional>
#include <vector>

class QScreen;

// Where the recording indicator goes: centred above the focused field (below
// it when there is no room above), kept inside the usable area of the screen
// that holds the field. All rectangles are screen coordinates with the origin
// at the top left, y growing downwards.
namespace IndicatorPlacement {

// Distance between the indicator and the field.
constexpr int fieldGap = 8;
// Distance kept from the usable area's edges when the indicator is moved in.
constexpr int screenInset = 10;
// Where the indicator goes when there is no screen at all.
constexpr QPoint originWithoutScreen{100, 100};

struct Screen {
    // The whole screen.
    QRect geometry;
    // Without panels and docks.
    QRect availableGeometry;
};

// The desktop's screens as Qt sees them, `first` first (the primary screen
// when none is given).
std::vector<Screen> desktopScreens(const QScreen* first = nullptr);

// The screen that holds the field's centre; the first one when none does.
// None without screens.
std::optional<Screen> screenForField(const QRectF& field, const std::vector<Screen>& screens);

// The indicator's top-left corner for a panel of `panelSize` next to `field`,
// or, without a field, centred on the first of `screens` (the screen in use)
// with its bottom edge a third of the way down.
QPoint originFor(const QSize& panelSize, const std::optional<QRectF>& field, const std::vector<Screen>& screens);

} // namespace IndicatorPlacement
