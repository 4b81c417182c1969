#include "core/speech/WhisperWrapper.h"

#include "base/Log.h"
#include "core/speech/WhisperModelFile.h"
#include "core/speech/WhisperPassParameters.h"
#include "core/speech/WhisperTranscriptText.h"

#include <whisper.h>

#include <QFileInfo>

#include <unistd.h>

#include <algorithm>
#include <limits>
#include <vector>

std::shared_ptr<WhisperWrapper> WhisperWrapper::create(const QString& modelPath, int processorCount)
{
    if (!QFileInfo::exists(modelPath))
        return nullptr;
    std::shared_ptr<WhisperWrapper> bridge(new WhisperWrapper(modelPath, processorCount));
    std::lock_guard lock(bridge->mutex);
    if (!bridge->loadModel())
        return nullptr;
    return bridge;
}

WhisperWrapper::WhisperWrapper(const QString& modelPath, int processorCount)
    : loadedModelPath(modelPath),
      availableProcessors(processorCount > 0 ? processorCount : WhisperPassParameters::configuredProcessorCount())
{
}

WhisperWrapper::~WhisperWrapper()
{
    // Waits for a pass still running on the context.
    std::lock_guard lock(mutex);
    if (ctx != nullptr)
        whisper_free(ctx);
}

bool WhisperWrapper::loadModel()
{
    const whisper_context_params contextParams = whisper_context_default_params();
    const QByteArray path = loadedModelPath.toUtf8();
    if (access(path.constData(), R_OK) != 0)
        return false;
    if (!hasCompleteWhisperHeader(loadedModelPath))
        return false;
    ctx = whisper_init_from_file_with_params(path.constData(), contextParams);
    return ctx != nullptr;
}

bool WhisperWrapper::switchModel(const QString& modelPath)
{
    if (!QFileInfo::exists(modelPath))
        return false;
    std::lock_guard lock(mutex);
    if (ctx != nullptr) {
        whisper_free(ctx);
        ctx = nullptr;
    }
    loadedModelPath = modelPath;
    return loadModel();
}

std::optional<QString> WhisperWrapper::transcribe(std::span<const float> audioData, double sourceSampleRate)
{
    (void)sourceSampleRate; // the capture path already delivers 16 kHz
    std::lock_guard lock(mutex);
    if (ctx == nullptr) {
        Log::system(QStringLiteral("[WhisperWrapper] Error: context is nil"));
        return std::nullopt;
    }
    if (audioData.empty()) {
        Log::system(QStringLiteral("[WhisperWrapper] Error: audio data is empty"));
        return std::nullopt;
    }
    // whisper.cpp counts samples in an int; longer buffers (over 37 hours)
    // are refused rather than truncated.
    if (audioData.size() > static_cast<size_t>(std::numeric_limits<int>::max())) {
        Log::system(QStringLiteral("[WhisperWrapper] Error: audio data is too long"));
        return std::nullopt;
    }

    const WhisperPassParameters parameters(loadedModelPath, availableProcessors);
    const int result = whisper_full(ctx, parameters.record(), audioData.data(), static_cast<int>(audioData.size()));
    if (result != 0) {
        Log::system(QStringLiteral("[WhisperWrapper] whisper_full failed with result: %1").arg(result));
        return std::nullopt;
    }

    const int segmentCount = whisper_full_n_segments(ctx);
    std::vector<const char*> segments;
    segments.reserve(static_cast<size_t>(std::max(segmentCount, 0)));
    for (int i = 0; i < segmentCount; ++i)
        segments.push_back(whisper_full_get_segment_text(ctx, i));
    const QString text = assembleTranscript(segments);
    if (text.isEmpty())
        return std::nullopt;
    return text;
}
