#include "core/speech/WhisperModelFile.h"

#include <QFile>
#include <QFileInfo>

#include <array>
#include <cstdint>

namespace {

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
    return whisperModelFileProblem(path).isEmpty();
}

QString whisperModelFileProblem(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return QStringLiteral("the file does not exist");
    if (info.isDir())
        return QStringLiteral("it is a folder, not a file");
    if (info.size() == 0)
        return QStringLiteral("the file is empty");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("the file cannot be read: ") + file.errorString();

    const QString notAModel = QStringLiteral("not a whisper model file");
    uint32_t magic = 0;
    if (!readValue(file, &magic) || magic != ggmlFileMagic)
        return notAModel;
    std::array<int32_t, hyperParameterCount> hyperParameters{};
    for (int32_t& value : hyperParameters) {
        if (!readValue(file, &value))
            return QStringLiteral("the file ends inside its header");
    }
    // Every dimension (all but the last, the weight type) must be positive.
    for (int i = 0; i < hyperParameterCount - 1; ++i) {
        if (hyperParameters[static_cast<size_t>(i)] <= 0)
            return notAModel + QStringLiteral(" (invalid model dimensions)");
    }

    int32_t melCount = 0;
    int32_t fftCount = 0;
    if (!readValue(file, &melCount) || !readValue(file, &fftCount) || melCount <= 0 || fftCount <= 0)
        return notAModel + QStringLiteral(" (invalid mel filters)");
    if (!skip(file, static_cast<qint64>(melCount) * fftCount * static_cast<qint64>(sizeof(float))))
        return QStringLiteral("the file ends inside its mel filters");

    int32_t tokenCount = 0;
    if (!readValue(file, &tokenCount) || tokenCount < 0)
        return QStringLiteral("the file ends before its vocabulary");
    for (int32_t i = 0; i < tokenCount; ++i) {
        uint32_t length = 0;
        if (!readValue(file, &length) || !skip(file, length))
            return QStringLiteral("the file ends inside its vocabulary");
    }
    return {};
}
