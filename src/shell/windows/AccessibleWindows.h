#pragma once

// How our windows meet assistive technology. Qt lists only non-popup
// windows under the application, so an open menu or pop-up list could not
// be found by walking the tree, and it exposes a plain top-level widget as a
// filler. Once installed (after the QApplication exists, so it is asked
// before Qt's own factory): the application also lists its visible pop-ups,
// and a top-level widget of ours is a window named by its title.
namespace AccessibleWindows {

void install();

} // namespace AccessibleWindows
