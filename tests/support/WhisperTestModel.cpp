#include "support/WhisperTestModel.h"

#include "core/config/AppConfig.h"
#include "core/speech/ModelManager.h"
#include "core/speech/WhisperModel.h"

#include <ggml.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace WhisperTestModel {
namespace {

// How a tensor is stored: always f32, the convolution type (f16 unless the
// whole file is f32) or the file's weight type.
enum class Storage { Float32, Conv, Weight };

struct TensorSpec {
    std::string name;
    std::vector<int32_t> ne; // innermost dimension first, as ggml counts
    Storage storage;
    enum class Fill { Random, One, Zero } fill = Fill::Random;
};

std::string layerName(const char* pattern, int layer)
{
    char buffer[128];
    std::snprintf(buffer, sizeof buffer, pattern, layer);
    return buffer;
}

// Every tensor the loader creates, with the shapes it checks.
std::vector<TensorSpec> tensorSpecs(const Shape& s)
{
    using F = TensorSpec::Fill;
    const int32_t a = s.nAudioState;
    const int32_t t = s.nTextState;
    std::vector<TensorSpec> specs = {
        {"encoder.positional_embedding", {a, s.nAudioCtx}, Storage::Float32},
        {"encoder.conv1.weight", {3, s.nMels, a}, Storage::Conv},
        {"encoder.conv1.bias", {1, a}, Storage::Float32},
        {"encoder.conv2.weight", {3, a, a}, Storage::Conv},
        {"encoder.conv2.bias", {1, a}, Storage::Float32},
        {"encoder.ln_post.weight", {a}, Storage::Float32, F::One},
        {"encoder.ln_post.bias", {a}, Storage::Float32, F::Zero},
    };
    for (int i = 0; i < s.nAudioLayer; ++i) {
        const auto n = [i](const char* pattern) { return layerName(pattern, i); };
        specs.push_back({n("encoder.blocks.%d.mlp_ln.weight"), {a}, Storage::Float32, F::One});
        specs.push_back({n("encoder.blocks.%d.mlp_ln.bias"), {a}, Storage::Float32, F::Zero});
        specs.push_back({n("encoder.blocks.%d.mlp.0.weight"), {a, 4 * a}, Storage::Weight});
        specs.push_back({n("encoder.blocks.%d.mlp.0.bias"), {4 * a}, Storage::Float32});
        specs.push_back({n("encoder.blocks.%d.mlp.2.weight"), {4 * a, a}, Storage::Weight});
        specs.push_back({n("encoder.blocks.%d.mlp.2.bias"), {a}, Storage::Float32});
        specs.push_back({n("encoder.blocks.%d.attn_ln.weight"), {a}, Storage::Float32, F::One});
        specs.push_back({n("encoder.blocks.%d.attn_ln.bias"), {a}, Storage::Float32, F::Zero});
        specs.push_back({n("encoder.blocks.%d.attn.query.weight"), {a, a}, Storage::Weight});
        specs.push_back({n("encoder.blocks.%d.attn.query.bias"), {a}, Storage::Float32});
        specs.push_back({n("encoder.blocks.%d.attn.key.weight"), {a, a}, Storage::Weight});
        specs.push_back({n("encoder.blocks.%d.attn.value.weight"), {a, a}, Storage::Weight});
        specs.push_back({n("encoder.blocks.%d.attn.value.bias"), {a}, Storage::Float32});
        specs.push_back({n("encoder.blocks.%d.attn.out.weight"), {a, a}, Storage::Weight});
        specs.push_back({n("encoder.blocks.%d.attn.out.bias"), {a}, Storage::Float32});
    }
    specs.push_back({"decoder.positional_embedding", {t, s.nTextCtx}, Storage::Float32});
    specs.push_back({"decoder.token_embedding.weight", {t, s.nVocab}, Storage::Weight});
    specs.push_back({"decoder.ln.weight", {t}, Storage::Float32, F::One});
    specs.push_back({"decoder.ln.bias", {t}, Storage::Float32, F::Zero});
    for (int i = 0; i < s.nTextLayer; ++i) {
        const auto n = [i](const char* pattern) { return layerName(pattern, i); };
        specs.push_back({n("decoder.blocks.%d.mlp_ln.weight"), {t}, Storage::Float32, F::One});
        specs.push_back({n("decoder.blocks.%d.mlp_ln.bias"), {t}, Storage::Float32, F::Zero});
        specs.push_back({n("decoder.blocks.%d.mlp.0.weight"), {t, 4 * t}, Storage::Weight});
        specs.push_back({n("decoder.blocks.%d.mlp.0.bias"), {4 * t}, Storage::Float32});
        specs.push_back({n("decoder.blocks.%d.mlp.2.weight"), {4 * t, t}, Storage::Weight});
        specs.push_back({n("decoder.blocks.%d.mlp.2.bias"), {t}, Storage::Float32});
        for (const char* block : {"attn", "cross_attn"}) {
            const std::string prefix = layerName("decoder.blocks.%d.", i) + block;
            specs.push_back({prefix + "_ln.weight", {t}, Storage::Float32, F::One});
            specs.push_back({prefix + "_ln.bias", {t}, Storage::Float32, F::Zero});
            specs.push_back({prefix + ".query.weight", {t, t}, Storage::Weight});
            specs.push_back({prefix + ".query.bias", {t}, Storage::Float32});
            specs.push_back({prefix + ".key.weight", {t, t}, Storage::Weight});
            specs.push_back({prefix + ".value.weight", {t, t}, Storage::Weight});
            specs.push_back({prefix + ".value.bias", {t}, Storage::Float32});
            specs.push_back({prefix + ".out.weight", {t, t}, Storage::Weight});
            specs.push_back({prefix + ".out.bias", {t}, Storage::Float32});
        }
    }
    return specs;
}

ggml_type weightGgmlType(WeightType type)
{
    switch (type) {
    case WeightType::F32:
        return GGML_TYPE_F32;
    case WeightType::F16:
        return GGML_TYPE_F16;
    case WeightType::Q5_0:
        return GGML_TYPE_Q5_0;
    case WeightType::Q8_0:
        return GGML_TYPE_Q8_0;
    }
    return GGML_TYPE_F16;
}

int32_t fileType(WeightType type)
{
    switch (type) {
    case WeightType::F32:
        return GGML_FTYPE_ALL_F32;
    case WeightType::F16:
        return GGML_FTYPE_MOSTLY_F16;
    case WeightType::Q5_0:
        return GGML_FTYPE_MOSTLY_Q5_0 + GGML_QNT_VERSION * GGML_QNT_VERSION_FACTOR;
    case WeightType::Q8_0:
        return GGML_FTYPE_MOSTLY_Q8_0 + GGML_QNT_VERSION * GGML_QNT_VERSION_FACTOR;
    }
    return GGML_FTYPE_MOSTLY_F16;
}

class Writer {
public:
    explicit Writer(QSaveFile& file) : targetFile(file) { }
    void i32(int32_t value) { bytes(&value, sizeof value); }
    void u32(uint32_t value) { bytes(&value, sizeof value); }
    void bytes(const void* data, size_t size)
    {
        if (writeSucceeded
            && targetFile.write(static_cast<const char*>(data), static_cast<qint64>(size)) != static_cast<qint64>(size))
            writeSucceeded = false;
    }
    // Leaves `size` bytes unwritten: a hole in a sparse file.
    void hole(int64_t size)
    {
        if (writeSucceeded && !targetFile.seek(targetFile.pos() + size))
            writeSucceeded = false;
    }
    bool ok() const { return writeSucceeded; }

private:
    QSaveFile& targetFile;
    bool writeSucceeded = true;
};

// Triangular filters over the 201 frequency bins, spread evenly; enough to
// give the encoder a spectrum-shaped input.
std::vector<float> melFilters(int32_t nMel, int32_t nFft)
{
    std::vector<float> filters(static_cast<size_t>(nMel) * static_cast<size_t>(nFft), 0.0f);
    const double spacing = static_cast<double>(nFft - 1) / (nMel + 1);
    for (int32_t m = 0; m < nMel; ++m) {
        const double centre = (m + 1) * spacing;
        for (int32_t f = 0; f < nFft; ++f) {
            const double weight = 1.0 - std::abs(f - centre) / spacing;
            if (weight > 0)
                filters[static_cast<size_t>(m) * static_cast<size_t>(nFft) + static_cast<size_t>(f)] =
                    static_cast<float>(weight);
        }
    }
    return filters;
}

// Distinct pronounceable tokens; the single space, hyphen and apostrophe
// tokens are looked up by the decoder and must exist.
std::vector<std::string> vocabulary(int32_t count)
{
    static const char* consonants[] = {"b", "d", "f", "g", "k", "l", "m", "n", "p", "r", "s", "t", "v", "z"};
    static const char* vowels[] = {"a", "e", "i", "o", "u"};
    std::vector<std::string> tokens = {" ", " -", " '", "[Music]", "\xE2\x99\xAA"};
    for (int32_t id = static_cast<int32_t>(tokens.size()); id < count; ++id) {
        std::string word = (id % 2 == 0) ? " " : "";
        int32_t rest = id;
        do {
            word += consonants[rest % 14];
            rest /= 14;
            word += vowels[rest % 5];
            rest /= 5;
        } while (rest > 0);
        tokens.push_back(word);
    }
    return tokens;
}

bool writeTensorRecord(Writer& out, const TensorSpec& tensor, ggml_type type)
{
    out.i32(static_cast<int32_t>(tensor.ne.size()));
    out.i32(static_cast<int32_t>(tensor.name.size()));
    out.i32(type);
    for (int32_t n : tensor.ne)
        out.i32(n);
    out.bytes(tensor.name.data(), tensor.name.size());
    int64_t rows = 1;
    for (size_t i = 1; i < tensor.ne.size(); ++i)
        rows *= tensor.ne[i];
    out.hole(static_cast<int64_t>(ggml_row_size(type, tensor.ne[0])) * rows);
    return out.ok();
}

bool writeTensor(Writer& out, const TensorSpec& tensor, ggml_type type, std::mt19937& random)
{
    int64_t count = 1;
    for (int32_t n : tensor.ne)
        count *= n;
    std::vector<float> values(static_cast<size_t>(count));
    std::uniform_real_distribution<float> uniform(-0.02f, 0.02f);
    for (float& value : values) {
        switch (tensor.fill) {
        case TensorSpec::Fill::Random:
            value = uniform(random);
            break;
        case TensorSpec::Fill::One:
            value = 1.0f;
            break;
        case TensorSpec::Fill::Zero:
            value = 0.0f;
            break;
        }
    }

    out.i32(static_cast<int32_t>(tensor.ne.size()));
    out.i32(static_cast<int32_t>(tensor.name.size()));
    out.i32(type);
    for (int32_t n : tensor.ne)
        out.i32(n);
    out.bytes(tensor.name.data(), tensor.name.size());

    if (type == GGML_TYPE_F32) {
        out.bytes(values.data(), values.size() * sizeof(float));
    } else if (type == GGML_TYPE_F16) {
        std::vector<ggml_fp16_t> halves(values.size());
        ggml_fp32_to_fp16_row(values.data(), halves.data(), count);
        out.bytes(halves.data(), halves.size() * sizeof(ggml_fp16_t));
    } else {
        const int64_t perRow = tensor.ne[0];
        if (perRow % ggml_blck_size(type) != 0)
            return false;
        const int64_t rows = count / perRow;
        std::vector<char> packed(ggml_row_size(type, perRow) * static_cast<size_t>(rows));
        const size_t written = ggml_quantize_chunk(type, values.data(), packed.data(), 0, rows, perRow, nullptr);
        out.bytes(packed.data(), written);
    }
    return out.ok();
}

} // namespace

Shape Shape::micro()
{
    return Shape{};
}

Shape Shape::tiny()
{
    Shape shape;
    shape.nAudioState = shape.nTextState = 384;
    shape.nAudioHead = shape.nTextHead = 6;
    shape.nAudioLayer = shape.nTextLayer = 4;
    shape.nTextCtx = 448;
    return shape;
}

Shape Shape::largeTurbo()
{
    Shape shape;
    shape.nVocab = 51866;
    shape.nAudioState = shape.nTextState = 1280;
    shape.nAudioHead = shape.nTextHead = 20;
    shape.nAudioLayer = 32;
    shape.nTextLayer = 4;
    shape.nTextCtx = 448;
    shape.nMels = 128;
    return shape;
}

static bool writeFile(const QString& path, const Shape& shape, WeightType type, uint32_t seed, bool withWeights)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    Writer out(file);

    out.u32(GGML_FILE_MAGIC);
    for (int32_t value : {shape.nVocab, shape.nAudioCtx, shape.nAudioState, shape.nAudioHead, shape.nAudioLayer,
             shape.nTextCtx, shape.nTextState, shape.nTextHead, shape.nTextLayer, shape.nMels})
        out.i32(value);
    out.i32(fileType(type));

    const int32_t nFft = 201;
    out.i32(shape.nMels);
    out.i32(nFft);
    const std::vector<float> filters = melFilters(shape.nMels, nFft);
    out.bytes(filters.data(), filters.size() * sizeof(float));

    // The file lists the text tokens; the loader adds the special tokens up
    // to nVocab itself, as it does for the published models.
    const std::vector<std::string> tokens = vocabulary(50257);
    out.i32(static_cast<int32_t>(tokens.size()));
    for (const std::string& token : tokens) {
        out.u32(static_cast<uint32_t>(token.size()));
        out.bytes(token.data(), token.size());
    }

    const ggml_type weight = weightGgmlType(type);
    const ggml_type conv = type == WeightType::F32 ? GGML_TYPE_F32 : GGML_TYPE_F16;
    std::mt19937 random(seed);
    for (const TensorSpec& tensor : tensorSpecs(shape)) {
        const ggml_type storedAs = tensor.storage == Storage::Float32 ? GGML_TYPE_F32
            : tensor.storage == Storage::Conv                         ? conv
                                                                      : weight;
        if (!(withWeights ? writeTensor(out, tensor, storedAs, random) : writeTensorRecord(out, tensor, storedAs)))
            return false;
    }
    // A trailing hole only counts once the file is that long.
    return out.ok() && file.resize(file.pos()) && file.commit();
}

bool write(const QString& path, const Shape& shape, WeightType type, uint32_t seed)
{
    return writeFile(path, shape, type, seed, true);
}

bool writeSparse(const QString& path, const Shape& shape, WeightType type)
{
    return writeFile(path, shape, type, 1, false);
}

QString writeMicro(const QString& directory, WeightType type, const QString& fileName)
{
    static const char* names[] = {"f32", "f16", "q5_0", "q8_0"};
    const QString name = fileName.isEmpty()
        ? QStringLiteral("ggml-micro-%1.bin").arg(QLatin1String(names[static_cast<int>(type)]))
        : fileName;
    const QString path = QDir(directory).filePath(name);
    return write(path, Shape::micro(), type) ? path : QString();
}

bool parseWeightType(const QString& text, WeightType* type)
{
    static const std::pair<const char*, WeightType> known[] = {
        {"f32", WeightType::F32}, {"f16", WeightType::F16}, {"q5_0", WeightType::Q5_0}, {"q8_0", WeightType::Q8_0}};
    for (const auto& [name, value] : known) {
        if (text == QLatin1String(name)) {
            *type = value;
            return true;
        }
    }
    return false;
}

bool installActiveMicroModel()
{
    const WhisperModel model = WhisperModel::allCases().front();
    const QFileInfo path(ModelManager::shared().modelPath(model));
    QDir().mkpath(path.absolutePath());
    if (writeMicro(path.absolutePath(), WeightType::F16, path.fileName()).isEmpty())
        return false;
    ModelManager::shared().setActiveModel(model);
    AppConfig::setWhisperBeamSize(1);
    AppConfig::setWhisperBestOf(1);
    AppConfig::setWhisperNoFallback(true);
    return true;
}

} // namespace WhisperTestModel
