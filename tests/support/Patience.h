#pragma once

// How long a test waits for an event before the event counts as missing. A
// wait ends the moment its event arrives, so a passing test never spends
// these bounds; they are sized for two loaded cores in a sanitizer build,
// where a whisper pass on the test model has taken a minute.
namespace Patience {

// An answer from this process or a local helper: a window shown, a signal,
// a process started, a queue drained.
inline constexpr int reply = 10'000;
// Data moved locally: a download or feed from the test server, audio played
// into the virtual microphone.
inline constexpr int transfer = 60'000;
// A model load or a whisper pass on the test model, several in a row at most.
inline constexpr int transcription = 240'000;

} // namespace Patience
