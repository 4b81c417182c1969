#pragma once

class QWidget;

// Prepares a frameless top-level window for a rounded glass look: with a
// compositing manager the window is translucent and its painting gives the
// shape; without one it is opaque and clipped to a rounded mask that follows
// its size. Call before the window is first shown.
namespace WindowShape {
void apply(QWidget* window, double cornerRadius);
} // namespace WindowShape
