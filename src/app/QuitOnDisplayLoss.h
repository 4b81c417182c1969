#pragma once

#include <functional>

// The X server going away (a logout, a remote session that drops) quits
// Tallowind as the menu's Quit does: once, on the main thread, whichever X
// connection finds the loss first.
namespace QuitOnDisplayLoss {

// `endProcess` ends the process with a status once the quit's steps have
// run, as after the event loop returns.
void install(std::function<void(int)> endProcess);

// The quit's steps have run and the process only winds up: the loss from
// now on ends it at once.
void endAtOnceFromNowOn();

} // namespace QuitOnDisplayLoss
