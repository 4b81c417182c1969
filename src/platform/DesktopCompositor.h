#pragma once

// Whether a compositing manager runs on the desktop, i.e. whether windows
// can be translucent.
class DesktopCompositor {
public:
    virtual ~DesktopCompositor() = default;

    virtual bool isCompositing() = 0;
};
