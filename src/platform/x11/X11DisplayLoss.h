#pragma once

#include <atomic>
#include <functional>

typedef struct _XDisplay Display;

// The X server going away (a logout, a remote session that drops) must end
// the process once, on the main thread. Left to their defaults, Xlib ends
// the process from whichever thread reads a broken connection first, and
// Qt's dispatcher ends it from the main thread: several connections of one
// process then run the exit handlers at the same time.
namespace X11DisplayLoss {

// Takes over once Qt's connection is open: Xlib's process-wide handler of a
// broken connection (Qt's ends the process), Qt's own check of its
// connection, which warns and then ends the process, and SIGPIPE, which a
// write to a server that is gone raises. `quit` runs on the main
// thread when a connection of ours reports the loss. `endHere` runs on the
// main thread when the process cannot go back to its event loop (Qt would
// end it there, or go on with Xlib on its broken display); it ends the
// process, unless it is ending already.
void install(std::function<void()> quit, std::function<void()> endHere);

// A broken `display` then sets `lost`, from the thread that found it, and
// reports the loss instead of ending the process. A lost display is not used
// again, except to be closed; forget() it before closing it.
void watch(Display* display, std::atomic<bool>& lost);
void forget(Display* display);

// A connection of ours found the server gone. Any thread; the first report
// logs the loss and has the main thread quit. No report returns before the
// loss is logged, so the process may end right after one.
void report();

// A connection of ours has reported the server gone.
bool lost();

} // namespace X11DisplayLoss
