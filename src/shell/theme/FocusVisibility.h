#pragma once

class QObject;

// Every window of the tool shows which control has the keyboard focus from
// the moment it opens. Qt's styles draw the focus ring only once the user
// has moved the focus with Tab, yet the first Space or Return already acts
// on the focused control: without the ring that control is a guess.
namespace FocusVisibility {

// Watches `application` for windows being shown and marks each as having
// had a keyboard focus change, which makes the styles draw the ring.
void install(QObject* application);

} // namespace FocusVisibility
