#pragma once

#include <QString>

#include <cstdint>

// The first four bytes of every whisper model file, read as little-endian.
inline constexpr uint32_t ggmlFileMagic = 0x67676d6c;

// whisper.cpp's loader does not check its reads: a model file whose header
// (hyper-parameters, mel filters, vocabulary) is cut short crashes the
// process instead of failing. This walks that header and says whether it is
// complete; the tensors that follow are checked by the loader itself.
bool hasCompleteWhisperHeader(const QString& path);

// Why the file at `path` cannot be a whisper model (missing, a folder, empty,
// unreadable, not a model, cut short), in words for a log line or an alert;
// empty when the checks above pass.
QString whisperModelFileProblem(const QString& path);
