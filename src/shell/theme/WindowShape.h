#pragma once

class QWidget;

// Prepares a frameless top-level window for a rounded glass look that
// follows the compositing manager for as long as the window lives: while one
// runs the window is translucent and its painting gives the shape; while
// none runs it is painted opaque and clipped to a rounded mask that follows
// its size. Call before the window is first shown.
namespace WindowShape {
void apply(QWidget* window, double cornerRadius);
} // namespace WindowShape
