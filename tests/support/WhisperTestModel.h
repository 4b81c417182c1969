#pragma once

#include <QString>

#include <cstdint>

// Writes whisper model files in the legacy ggml layout that whisper.cpp's
// loader reads, filled with small random weights. They load and decode for
// real (garbage text, of course), so the speech bridge can be exercised
// without downloading real weights.
namespace WhisperTestModel {

struct Shape {
    int32_t nVocab = 51865; // multilingual; special token ids are fixed, so never below 51864
    int32_t nAudioCtx = 1500;
    int32_t nAudioState = 64;
    int32_t nAudioHead = 2;
    int32_t nAudioLayer = 1;
    int32_t nTextCtx = 64;
    int32_t nTextState = 64;
    int32_t nTextHead = 2;
    int32_t nTextLayer = 1;
    int32_t nMels = 80;

    // Tiny dimensions: loads and transcribes a few seconds in well under a
    // second, short text windows keep the decoding loop brief.
    static Shape micro();
    // The shapes of the published "tiny" model, for benchmarks.
    static Shape tiny();
    // The shapes of the published "large-v3-turbo" model (1.6 GB in f16).
    static Shape largeTurbo();
};

// Storage of the large matrices. Quantized types need rows that are a
// multiple of 32 values.
enum class WeightType { F32, F16, Q5_0, Q8_0 };

// Returns false when the file could not be written. The same seed gives the
// same file.
bool write(const QString& path, const Shape& shape, WeightType type, uint32_t seed = 1);

// Writes every header and tensor record but leaves the weights as holes: a
// sparse file of the full size that takes no room on disk and does not load.
bool writeSparse(const QString& path, const Shape& shape, WeightType type);

// Writes a micro model into `directory` (named `fileName`, or a name derived
// from the type) and returns its path; empty on failure.
QString writeMicro(const QString& directory, WeightType type = WeightType::F16, const QString& fileName = {});

// Writes a micro model as the first catalogue model's file, makes that model
// the active one and asks for greedy single passes, which keep the random
// weights quick. False on failure.
bool installActiveMicroModel();

bool parseWeightType(const QString& text, WeightType* type);

} // namespace WhisperTestModel
