#pragma once

#include <QString>

#include <vector>

// Speech audio for tests: 16 kHz mono float samples.
namespace TestSpeech {

// `text` spoken by espeak-ng and resampled with sox; when either tool is
// missing, a synthetic voiced signal of about the same length.
std::vector<float> spoken(const QString& text);

// A vowel-like signal: a 120 Hz harmonic series under a 4 Hz syllable
// envelope, `seconds` long.
std::vector<float> synthetic(double seconds);

// Repeats or cuts `samples` to exactly `seconds`.
std::vector<float> fitted(const std::vector<float>& samples, double seconds);

} // namespace TestSpeech
