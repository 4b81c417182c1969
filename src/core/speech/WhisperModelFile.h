#pragma once

#include <QString>

#include <cstdint>
#include <optional>

// The first four bytes of every whisper model file, read as little-endian.
inline constexpr uint32_t ggmlFileMagic = 0x67676d6c;

// whisper.cpp's loader trusts the file: a cut-short header, a tensor record
// with too many dimensions or an unknown type, inconsistent dimensions or
// missing weights crash or abort the process instead of failing. This walks
// the file the way the loader does (hyper-parameters, mel filters,
// vocabulary, then every tensor record, skipping the weights themselves) and
// says why whisper.cpp must not be given it; nothing when the file is sound.
std::optional<QString> whisperModelFileProblem(const QString& path);

inline bool hasCompleteWhisperHeader(const QString& path)
{
    return !whisperModelFileProblem(path).has_value();
}
