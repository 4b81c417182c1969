#include "recording/WavFile.h"

#include <QFile>
#include <QtEndian>

#include <bit>
#include <cmath>
#include <vector>

namespace WavFile {
namespace {

constexpr uint16_t kFormatIeeeFloat = 3;
constexpr uint16_t kChannels = 1;
constexpr uint16_t kBitsPerSample = 32;
constexpr uint32_t kBytesPerFrame = 4;

template <typename T> void append(QByteArray& bytes, T value)
{
    const T little = qToLittleEndian(value);
    bytes.append(reinterpret_cast<const char*>(&little), sizeof little);
}

uint32_t roundedRate(double sampleRate)
{
    return static_cast<uint32_t>(std::llround(sampleRate));
}

bool writeAll(QFile& file, const char* data, int64_t size)
{
    return file.write(data, size) == size;
}

bool writeSamples(QFile& file, std::span<const float> samples)
{
    if constexpr (std::endian::native == std::endian::little) {
        return writeAll(
            file, reinterpret_cast<const char*>(samples.data()), static_cast<int64_t>(samples.size_bytes()));
    } else {
        std::vector<uint32_t> little(samples.size());
        for (size_t i = 0; i < samples.size(); ++i)
            little[i] = qToLittleEndian(std::bit_cast<uint32_t>(samples[i]));
        return writeAll(
            file, reinterpret_cast<const char*>(little.data()), static_cast<int64_t>(little.size() * sizeof(uint32_t)));
    }
}

} // namespace

QString rejectionReason(uint64_t sampleCount, double sampleRate)
{
    if (!std::isfinite(sampleRate) || sampleRate < 0.5 || sampleRate >= 0xFFFFFFFFu / kBytesPerFrame)
        return QStringLiteral("unsupported sample rate %1").arg(sampleRate);
    if (sampleCount > maxSampleCount)
        return QStringLiteral("recording of %1 samples is too long for a WAV file").arg(sampleCount);
    return {};
}

QByteArray header(uint32_t sampleCount, uint32_t sampleRate)
{
    const uint32_t dataBytes = sampleCount * kBytesPerFrame;
    QByteArray bytes;
    bytes.reserve(headerSize);
    bytes.append("RIFF");
    append<uint32_t>(bytes, static_cast<uint32_t>(headerSize - 8) + dataBytes);
    bytes.append("WAVE");
    bytes.append("fmt ");
    append<uint32_t>(bytes, 18);
    append<uint16_t>(bytes, kFormatIeeeFloat);
    append<uint16_t>(bytes, kChannels);
    append<uint32_t>(bytes, sampleRate);
    append<uint32_t>(bytes, sampleRate * kBytesPerFrame);
    append<uint16_t>(bytes, static_cast<uint16_t>(kBytesPerFrame));
    append<uint16_t>(bytes, kBitsPerSample);
    append<uint16_t>(bytes, 0); // no extension
    bytes.append("fact");
    append<uint32_t>(bytes, 4);
    append<uint32_t>(bytes, sampleCount);
    bytes.append("data");
    append<uint32_t>(bytes, dataBytes);
    return bytes;
}

bool write(const QString& path, std::span<const float> samples, double sampleRate, QString& error)
{
    const QString rejection = rejectionReason(samples.size(), sampleRate);
    if (!rejection.isEmpty()) {
        error = rejection;
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        error = file.errorString();
        return false;
    }
    const QByteArray head = header(static_cast<uint32_t>(samples.size()), roundedRate(sampleRate));
    const bool written = writeAll(file, head.constData(), head.size()) && writeSamples(file, samples) && file.flush();
    if (!written) {
        // A truncated file would look like a recording but is not one, and
        // no index entry would ever name it for cleanup.
        error = file.errorString();
        file.remove();
        return false;
    }
    file.close();
    return true;
}

std::optional<Format> readFormat(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.read(headerSize);
    if (bytes.size() != headerSize)
        return std::nullopt;
    Format format;
    format.sampleRate = qFromLittleEndian<uint32_t>(bytes.constData() + 24);
    format.sampleCount = qFromLittleEndian<uint32_t>(bytes.constData() + 46);
    // Rebuilt from the two values, the header must come out the same.
    if (format.sampleCount > maxSampleCount || bytes != header(format.sampleCount, format.sampleRate))
        return std::nullopt;
    return format;
}

} // namespace WavFile
