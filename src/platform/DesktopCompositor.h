#pragma once

class QRegion;
class QWindow;

// Whether a compositing manager runs on the desktop, i.e. whether windows
// can be translucent, and whether it blurs what lies behind a window that
// asks for it.
class DesktopCompositor {
public:
    virtual ~DesktopCompositor() = default;

    virtual bool isCompositing() = 0;
    virtual bool blursBehindWindows() = 0;
    // Asks for what lies behind `region` (in the window's coordinates) of
    // `window` to be blurred; an empty region withdraws the request. Set it
    // before the window is first shown.
    virtual void setBlurBehind(QWindow* window, const QRegion& region) = 0;
};
