#pragma once

#include "platform/DesktopCompositor.h"

// A compositing manager owns the _NET_WM_CM_S<screen> selection of the
// screen it composites.
class X11DesktopCompositor final : public DesktopCompositor {
public:
    bool isCompositing() override;
};
