#pragma once

#include <QByteArray>

// The bodies of the parser fuzzers. Each takes one input, runs it through
// a parser (and, where the data is written back, through the writer and the
// parser again) and aborts with a message when an invariant breaks. The
// libFuzzer harnesses in fuzz/ call them, and the regular test suite replays
// every crasher kept in tests/data/fuzz/<target>/ through them.
namespace FuzzTargets {

void recordingsIndex(const QByteArray& input);
void settingsFormat(const QByteArray& input);
void shortcutTable(const QByteArray& input);
void wavFile(const QByteArray& input);
void modelFile(const QByteArray& input);

} // namespace FuzzTargets
