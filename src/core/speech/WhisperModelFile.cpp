#include "core/speech/WhisperModelFile.h"

#include <QFile>

#include <array>
#include <cstdint>

namespace {

constexpr uint32_t ggmlMagic = 0x67676d6c;
constexpr int hyperParameterCount = 11;

template <typename T> bool readValue(QFile& file, T* value)
{
    return file.read(reinterpret_cast<char*>(value), sizeof(T)) == static_cast<qint64>(sizeof(T));
}

bool skip(QFile& file, qint64 bytes)
{
    if (bytes < 0 || file.pos() + bytes > file.size())
        return false;
    return file.seek(file.pos() + bytes);
}

} // namespace

bool hasCompleteWhisperHeader(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;

    uint32_t magic = 0;
    if (!readValue(file, &magic) || magic != ggmlMagic)
        return false;
    std::array<int32_t, hyperParameterCount> hyperParameters{};
    for (int32_t& value : hyperParameters) {
        if (!readValue(file, &value))
            return false;
    }
    // Every dimension (all but the last, the weight type) must be positive.
    for (int i = 0; i < hyperParameterCount - 1; ++i) {
        if (hyperParameters[static_cast<size_t>(i)] <= 0)
            return false;
    }

    int32_t melCount = 0;
    int32_t fftCount = 0;
    if (!readValue(file, &melCount) || !readValue(file, &fftCount) || melCount <= 0 || fftCount <= 0)
        return false;
    if (!skip(file, static_cast<qint64>(melCount) * fftCount * static_cast<qint64>(sizeof(float))))
        return false;

    int32_t tokenCount = 0;
    if (!readValue(file, &tokenCount) || tokenCount < 0)
        return false;
    for (int32_t i = 0; i < tokenCount; ++i) {
        uint32_t length = 0;
        if (!readValue(file, &length) || !skip(file, length))
            return false;
    }
    return true;
}
