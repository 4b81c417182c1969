#pragma once

#include <QString>

// Whether the X display named by DISPLAY can be opened. Checked before Qt
// starts: Qt aborts without one, with a message that points nowhere useful.
namespace X11DisplayCheck {

// Empty when a connection to the display opens; otherwise a sentence for
// the user that names DISPLAY.
QString unavailableReason();

} // namespace X11DisplayCheck
