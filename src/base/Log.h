#pragma once

#include <QString>

#include <functional>

// Two kinds of log line: system-log lines (stderr and syslog) written by the
// controller and the speech bridge, and plain lines on standard output written
// by the recordings archive and the live transcriber.
namespace Log {

enum class Stream { System, Out };

void system(const QString& line);
void out(const QString& line);

// Tests observe lines through a sink; the returned id removes it again. A
// sink may be called on any thread; once removeSink() has returned it is
// called no more.
using Sink = std::function<void(Stream, const QString&)>;
int addSink(Sink sink);
void removeSink(int id);

} // namespace Log
