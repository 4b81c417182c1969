#pragma once

#include "platform/DesktopCompositor.h"

// A compositing manager owns the _NET_WM_CM_S<screen> selection of the
// screen it composites. KWin's blur effect, while loaded, announces itself
// by a property _KDE_NET_WM_BLUR_BEHIND_REGION on the root window and blurs
// behind the rectangles a window lists in its own property of that name.
class X11DesktopCompositor final : public DesktopCompositor {
public:
    bool isCompositing() override;
    bool blursBehindWindows() override;
    void setBlurBehind(QWindow* window, const QRegion& region) override;
};
