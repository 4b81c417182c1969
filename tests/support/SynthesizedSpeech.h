#pragma once

#include "support/ToolRun.h"

#include <QFile>
#include <QStandardPaths>
#include <QString>

#include <cstring>
#include <vector>

// Speech for recognizer tests: espeak-ng speaks the text and sox turns it
// into raw interleaved floats at the given rate and channel count, with a
// little silence around it. Empty when either tool is missing or fails.
inline bool canSynthesizeSpeech()
{
    return !QStandardPaths::findExecutable(QStringLiteral("espeak-ng")).isEmpty()
        && !QStandardPaths::findExecutable(QStringLiteral("sox")).isEmpty();
}

inline std::vector<float> synthesizeSpeech(const QString& folder, const QString& text, int rate, int channels)
{
    const QString wav = folder + QStringLiteral("/speech.wav");
    const QString raw = folder + QStringLiteral("/speech.raw");
    if (!runTool(QStringLiteral("espeak-ng"),
            {QStringLiteral("-s"), QStringLiteral("140"), QStringLiteral("-w"), wav, text}))
        return {};
    if (!runTool(QStringLiteral("sox"),
            {wav, QStringLiteral("-t"), QStringLiteral("raw"), QStringLiteral("-e"), QStringLiteral("floating-point"),
                QStringLiteral("-b"), QStringLiteral("32"), QStringLiteral("-r"), QString::number(rate),
                QStringLiteral("-c"), QString::number(channels), raw, QStringLiteral("pad"), QStringLiteral("0.3"),
                QStringLiteral("0.5")}))
        return {};
    QFile file(raw);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    std::vector<float> samples(static_cast<size_t>(bytes.size()) / sizeof(float));
    std::memcpy(samples.data(), bytes.constData(), samples.size() * sizeof(float));
    return samples;
}
