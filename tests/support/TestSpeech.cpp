#include "support/TestSpeech.h"

#include "support/ToolRun.h"

#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace TestSpeech {
std::vector<float> spoken(const QString& text)
{
    const QString espeak = QStandardPaths::findExecutable(QStringLiteral("espeak-ng"));
    const QString sox = QStandardPaths::findExecutable(QStringLiteral("sox"));
    QTemporaryDir folder;
    if (!espeak.isEmpty() && !sox.isEmpty() && folder.isValid()) {
        const QString wav = folder.filePath(QStringLiteral("speech.wav"));
        const QString raw = folder.filePath(QStringLiteral("speech.f32"));
        if (runTool(espeak, {QStringLiteral("-w"), wav, text})
            && runTool(sox,
                {wav, QStringLiteral("-t"), QStringLiteral("raw"), QStringLiteral("-e"),
                    QStringLiteral("floating-point"), QStringLiteral("-b"), QStringLiteral("32"), QStringLiteral("-r"),
                    QStringLiteral("16000"), QStringLiteral("-c"), QStringLiteral("1"), raw})) {
            QFile file(raw);
            if (file.open(QIODevice::ReadOnly)) {
                const QByteArray bytes = file.readAll();
                std::vector<float> samples(static_cast<size_t>(bytes.size()) / sizeof(float));
                std::memcpy(samples.data(), bytes.constData(), samples.size() * sizeof(float));
                if (!samples.empty())
                    return samples;
            }
        }
    }
    // About 12 characters per second of speech.
    return synthetic(std::max(1.0, text.size() / 12.0));
}

std::vector<float> synthetic(double seconds)
{
    const auto count = static_cast<size_t>(seconds * 16000.0);
    std::vector<float> samples(count);
    constexpr double pi = 3.14159265358979323846;
    for (size_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / 16000.0;
        double voiced = 0;
        for (int harmonic = 1; harmonic <= 12; ++harmonic)
            voiced += std::sin(2 * pi * 120.0 * harmonic * t) / harmonic;
        const double syllables = 0.5 - 0.5 * std::cos(2 * pi * 4.0 * t);
        samples[i] = static_cast<float>(0.2 * voiced * syllables);
    }
    return samples;
}

std::vector<float> fitted(const std::vector<float>& samples, double seconds)
{
    const auto count = static_cast<size_t>(seconds * 16000.0);
    std::vector<float> result(count, 0.0f);
    if (samples.empty())
        return result;
    for (size_t i = 0; i < count; ++i)
        result[i] = samples[i % samples.size()];
    return result;
}

} // namespace TestSpeech
