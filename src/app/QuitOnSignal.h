#pragma once

// SIGINT, SIGTERM and SIGHUP end the event loop normally, so termination runs its
// steps (the shortcuts are released, the microphone is closed).
namespace QuitOnSignal {

void install();

} // namespace QuitOnSignal
