#pragma once

#include <chrono>
#include <functional>

// Qt hands a selection it holds to the desktop's clipboard manager only when
// the application is torn down, which Tallowind's quit skips. This does the
// same hand-over at the quit (the freedesktop clipboard manager convention:
// SAVE_TARGETS asked of the CLIPBOARD_MANAGER selection's owner), so the
// user's clipboard that a paste gave back outlives the process.
namespace X11ClipboardHandOver {

// When this process holds CLIPBOARD with something on it and a clipboard
// manager runs, asks it to save every format and turns the event loop, so
// that Qt answers the manager's requests, until it has, or has gone away.
// Returns at once without a manager, without the clipboard or with nothing
// on it, and once the X server is gone.
// Once `bound` has passed, `endProcess` runs on a thread of its own, whatever
// the main thread runs then: nothing the loop delivers can stretch the wait.
void toClipboardManager(
    const std::function<void()>& endProcess, std::chrono::milliseconds bound = std::chrono::seconds(5));

} // namespace X11ClipboardHandOver
