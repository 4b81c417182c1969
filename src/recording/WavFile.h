#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>
#include <span>

// Mono 32-bit IEEE float WAVE files: the samples are stored exactly as given.
namespace WavFile {

// RIFF header, "fmt " chunk of the floating-point format (18 bytes),
// "fact" chunk with the frame count, "data" chunk header.
inline constexpr int64_t headerSize = 58;
// The largest recording whose RIFF size still fits in 32 bits.
inline constexpr uint64_t maxSampleCount = (0xFFFFFFFFull - (headerSize - 8)) / 4;

// Why a recording of this length and rate cannot be written, or empty.
QString rejectionReason(uint64_t sampleCount, double sampleRate);

QByteArray header(uint32_t sampleCount, uint32_t sampleRate);

// Creates a new file at `path` (never replaces an existing one). On failure
// sets `error` and leaves no partial file behind.
bool write(const QString& path, std::span<const float> samples, double sampleRate, QString& error);

struct Format {
    uint32_t sampleRate = 0;
    uint32_t sampleCount = 0;
};

// The rate and length of a file this module wrote, read from its header;
// nothing when the file has another layout or cannot be read.
std::optional<Format> readFormat(const QString& path);

} // namespace WavFile
