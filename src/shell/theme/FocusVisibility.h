#pragma once

class QApplication;

// Every window of the tool shows which control has the keyboard focus from
// the moment it opens, with a ring that stands out. Qt's styles draw their
// faint focus frame only once the user has moved the focus with Tab, yet the
// first Space or Return already acts on the focused control: without a clear
// ring that control is a guess.
namespace FocusVisibility {

// Marks each window shown as having had a keyboard focus change, which makes
// the style draw focus, and draws the focus frame as a ring in the accent
// colour.
void install(QApplication* application);

} // namespace FocusVisibility
