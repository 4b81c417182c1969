#include "core/speech/WhisperModelFile.h"

#include <ggml.h>

#include <QFile>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <unordered_map>

namespace {

// whisper.cpp numbers its special tokens from fixed ids and names at most
// 100 languages, so only these vocabulary sizes decode.
constexpr int32_t smallestVocabulary = 51864;
constexpr int32_t largestVocabulary = 51866;
// The spectrogram holds 3000 frames, which the encoder halves.
constexpr int32_t largestAudioContext = 1500;
constexpr int32_t largestTextContext = 4096;
constexpr int32_t largestState = 8192;
constexpr int32_t largestLayerCount = 128;
constexpr int32_t largestMelCount = 512;
// One filter row per frequency bin of whisper.cpp's 400-sample FFT.
constexpr int32_t frequencyBins = 201;
constexpr int32_t longestTensorName = 256;
constexpr int32_t quantizationVersionFactor = 1000;

struct ExpectedTensor {
    std::array<int64_t, 4> ne{1, 1, 1, 1};
    ggml_type type = GGML_TYPE_F32;
    bool seen = false;
};

using TensorTable = std::unordered_map<std::string, ExpectedTensor>;

struct HyperParameters {
    int32_t vocabulary, audioContext, audioState, audioHeads, audioLayers;
    int32_t textContext, textState, textHeads, textLayers, mels, fileType;
};

// Reads the file in small chunks of its own: the vocabulary is tens of
// thousands of tiny fields, and each tensor record sits after weights that
// are skipped, never read.
class Reader {
public:
    explicit Reader(QFile& opened) : file(opened), size(opened.size()) { }

    template <typename T> bool read(T* value) { return readBytes(reinterpret_cast<char*>(value), sizeof(T)); }
    bool readBytes(char* data, int64_t bytes)
    {
        while (bytes > 0) {
            if (cursor == buffer.size() && !refill())
                return false;
            const int64_t count = std::min<int64_t>(bytes, buffer.size() - cursor);
            std::memcpy(data, buffer.constData() + cursor, static_cast<size_t>(count));
            cursor += count;
            data += count;
            bytes -= count;
        }
        return true;
    }
    bool skip(int64_t bytes)
    {
        if (bytes < 0 || bytes > remaining())
            return false;
        if (bytes <= buffer.size() - cursor) {
            cursor += bytes;
        } else {
            bufferAt = position() + bytes;
            buffer.clear();
            cursor = 0;
        }
        return true;
    }
    int64_t remaining() const { return size - position(); }

private:
    static constexpr int64_t chunk = 8192;

    int64_t position() const { return bufferAt + cursor; }
    bool refill()
    {
        bufferAt = position();
        cursor = 0;
        buffer.clear();
        if (!file.seek(bufferAt))
            return false;
        buffer = file.read(chunk);
        return !buffer.isEmpty();
    }

    QFile& file;
    int64_t size;
    QByteArray buffer;
    int64_t bufferAt = 0;
    int64_t cursor = 0;
};

// The weight type whisper.cpp derives from the file type, for the file types
// it knows (it aborts on any other).
std::optional<ggml_type> weightTypeFor(int32_t fileType)
{
    const int32_t type = fileType % quantizationVersionFactor;
    const bool known = (type >= GGML_FTYPE_ALL_F32 && type <= GGML_FTYPE_MOSTLY_Q4_1)
        || (type >= GGML_FTYPE_MOSTLY_Q8_0 && type <= GGML_FTYPE_MOSTLY_Q1_0);
    if (fileType < 0 || !known)
        return std::nullopt;
    return ggml_ftype_to_ggml_type(static_cast<ggml_ftype>(type));
}

std::optional<QString> checkRange(const char* name, int32_t value, int32_t lowest, int32_t highest)
{
    if (value >= lowest && value <= highest)
        return std::nullopt;
    return QStringLiteral("the hyper-parameter %1 is %2, outside %3 to %4")
        .arg(QLatin1String(name))
        .arg(value)
        .arg(lowest)
        .arg(highest);
}

std::optional<QString> checkHyperParameters(const HyperParameters& h)
{
    const std::pair<const char*, std::array<int32_t, 3>> ranges[] = {
        {"n_vocab", {h.vocabulary, smallestVocabulary, largestVocabulary}},
        {"n_audio_ctx", {h.audioContext, 1, largestAudioContext}},
        {"n_audio_state", {h.audioState, 1, largestState}},
        {"n_audio_head", {h.audioHeads, 1, largestState}},
        {"n_audio_layer", {h.audioLayers, 1, largestLayerCount}},
        {"n_text_ctx", {h.textContext, 1, largestTextContext}},
        {"n_text_state", {h.textState, 1, largestState}},
        {"n_text_head", {h.textHeads, 1, largestState}},
        {"n_text_layer", {h.textLayers, 1, largestLayerCount}},
        {"n_mels", {h.mels, 1, largestMelCount}},
    };
    for (const auto& [name, range] : ranges) {
        if (auto problem = checkRange(name, range[0], range[1], range[2]))
            return problem;
    }
    if (h.textState != h.audioState)
        return QStringLiteral("the text state size %1 differs from the audio state size %2")
            .arg(h.textState)
            .arg(h.audioState);
    if (h.audioState % h.audioHeads != 0)
        return QStringLiteral("the audio state size %1 does not divide into %2 heads")
            .arg(h.audioState)
            .arg(h.audioHeads);
    if (h.textState % h.textHeads != 0)
        return QStringLiteral("the text state size %1 does not divide into %2 heads").arg(h.textState).arg(h.textHeads);
    if (!weightTypeFor(h.fileType))
        return QStringLiteral("the weight type %1 is unknown").arg(h.fileType);
    return std::nullopt;
}

// Every tensor whisper.cpp creates for these hyper-parameters, with the shape
// and storage type it checks the file's record against.
TensorTable expectedTensors(const HyperParameters& h, ggml_type weight)
{
    const ggml_type conv = weight == GGML_TYPE_F32 ? GGML_TYPE_F32 : GGML_TYPE_F16;
    const int64_t a = h.audioState;
    const int64_t t = h.textState;
    TensorTable table;
    const auto add = [&table](std::string name, ggml_type type, std::initializer_list<int64_t> shape) {
        ExpectedTensor tensor;
        tensor.type = type;
        size_t i = 0;
        for (int64_t n : shape)
            tensor.ne[i++] = n;
        table.emplace(std::move(name), tensor);
    };
    const ggml_type f32 = GGML_TYPE_F32;

    add("encoder.positional_embedding", f32, {a, h.audioContext});
    add("encoder.conv1.weight", conv, {3, h.mels, a});
    add("encoder.conv1.bias", f32, {1, a});
    add("encoder.conv2.weight", conv, {3, a, a});
    add("encoder.conv2.bias", f32, {1, a});
    add("encoder.ln_post.weight", f32, {a});
    add("encoder.ln_post.bias", f32, {a});
    for (int i = 0; i < h.audioLayers; ++i) {
        const std::string block = "encoder.blocks." + std::to_string(i) + ".";
        add(block + "mlp_ln.weight", f32, {a});
        add(block + "mlp_ln.bias", f32, {a});
        add(block + "mlp.0.weight", weight, {a, 4 * a});
        add(block + "mlp.0.bias", f32, {4 * a});
        add(block + "mlp.2.weight", weight, {4 * a, a});
        add(block + "mlp.2.bias", f32, {a});
        add(block + "attn_ln.weight", f32, {a});
        add(block + "attn_ln.bias", f32, {a});
        add(block + "attn.query.weight", weight, {a, a});
        add(block + "attn.query.bias", f32, {a});
        add(block + "attn.key.weight", weight, {a, a});
        add(block + "attn.value.weight", weight, {a, a});
        add(block + "attn.value.bias", f32, {a});
        add(block + "attn.out.weight", weight, {a, a});
        add(block + "attn.out.bias", f32, {a});
    }
    add("decoder.positional_embedding", f32, {t, h.textContext});
    add("decoder.token_embedding.weight", weight, {t, h.vocabulary});
    add("decoder.ln.weight", f32, {t});
    add("decoder.ln.bias", f32, {t});
    for (int i = 0; i < h.textLayers; ++i) {
        const std::string layer = "decoder.blocks." + std::to_string(i) + ".";
        add(layer + "mlp_ln.weight", f32, {t});
        add(layer + "mlp_ln.bias", f32, {t});
        add(layer + "mlp.0.weight", weight, {t, 4 * t});
        add(layer + "mlp.0.bias", f32, {4 * t});
        add(layer + "mlp.2.weight", weight, {4 * t, t});
        add(layer + "mlp.2.bias", f32, {t});
        for (const char* attention : {"attn", "cross_attn"}) {
            const std::string block = layer + attention;
            add(block + "_ln.weight", f32, {t});
            add(block + "_ln.bias", f32, {t});
            add(block + ".query.weight", weight, {t, t});
            add(block + ".query.bias", f32, {t});
            add(block + ".key.weight", weight, {t, t});
            add(block + ".value.weight", weight, {t, t});
            add(block + ".value.bias", f32, {t});
            add(block + ".out.weight", weight, {t, t});
            add(block + ".out.bias", f32, {t});
        }
    }
    return table;
}

// The bytes whisper.cpp reads for a tensor: ggml's size of the tensor it
// created, in 64 bits (the shapes are bounded, so nothing overflows).
int64_t storedBytes(const ExpectedTensor& tensor)
{
    const auto typeSize = static_cast<int64_t>(ggml_type_size(tensor.type));
    const auto blockSize = static_cast<int64_t>(ggml_blck_size(tensor.type));
    std::array<int64_t, 4> stride{};
    stride[0] = typeSize;
    stride[1] = stride[0] * (tensor.ne[0] / blockSize);
    stride[2] = stride[1] * tensor.ne[1];
    stride[3] = stride[2] * tensor.ne[2];
    int64_t bytes = blockSize == 1 ? typeSize : tensor.ne[0] * stride[0] / blockSize;
    for (size_t i = blockSize == 1 ? 0 : 1; i < 4; ++i)
        bytes += (tensor.ne[i] - 1) * stride[i];
    return bytes;
}

bool isKnownTensorType(int32_t type)
{
    return type >= 0 && type < GGML_TYPE_COUNT && ggml_blck_size(static_cast<ggml_type>(type)) > 0
        && ggml_type_size(static_cast<ggml_type>(type)) > 0;
}

std::optional<QString> walkTensors(Reader& in, TensorTable& expected)
{
    constexpr int64_t recordHead = 3 * sizeof(int32_t);
    size_t found = 0;
    // The loader reads records until fewer bytes than a record's head remain.
    while (in.remaining() >= recordHead) {
        int32_t dimensions = 0;
        int32_t nameLength = 0;
        int32_t type = 0;
        if (!in.read(&dimensions) || !in.read(&nameLength) || !in.read(&type))
            return QStringLiteral("the file could not be read");
        const QString where = QStringLiteral("tensor record %1").arg(found + 1);
        if (dimensions < 1 || dimensions > 4)
            return QStringLiteral("%1 has %2 dimensions (1 to 4 allowed)").arg(where).arg(dimensions);
        if (nameLength < 1 || nameLength > longestTensorName)
            return QStringLiteral("%1 has a name of %2 bytes").arg(where).arg(nameLength);
        std::array<int32_t, 4> ne{1, 1, 1, 1};
        for (int i = 0; i < dimensions; ++i) {
            if (!in.read(&ne[static_cast<size_t>(i)]))
                return QStringLiteral("the file ends inside %1").arg(where);
        }
        std::string name(static_cast<size_t>(nameLength), '\0');
        if (in.remaining() < nameLength || !in.readBytes(name.data(), nameLength))
            return QStringLiteral("the file ends inside %1").arg(where);
        const QString quoted = QStringLiteral("tensor '%1'").arg(QString::fromLatin1(name.data(), nameLength));

        const auto it = expected.find(name);
        if (it == expected.end())
            return QStringLiteral("%1 is not part of this model").arg(quoted);
        ExpectedTensor& tensor = it->second;
        if (tensor.seen)
            return QStringLiteral("%1 appears twice").arg(quoted);
        if (!isKnownTensorType(type))
            return QStringLiteral("%1 has the unknown type %2").arg(quoted).arg(type);
        int64_t elements = 1;
        for (size_t i = 0; i < 4; ++i) {
            if (ne[i] != tensor.ne[i])
                return QStringLiteral("%1 has the shape [%2, %3, %4, %5], not [%6, %7, %8, %9]")
                    .arg(quoted)
                    .arg(ne[0])
                    .arg(ne[1])
                    .arg(ne[2])
                    .arg(ne[3])
                    .arg(tensor.ne[0])
                    .arg(tensor.ne[1])
                    .arg(tensor.ne[2])
                    .arg(tensor.ne[3]);
            elements *= ne[i];
        }
        const int64_t bytes = storedBytes(tensor);
        // The loader's own size check, which it makes with the record's type.
        const auto recordTypeSize = static_cast<int64_t>(ggml_type_size(static_cast<ggml_type>(type)));
        if (elements * recordTypeSize / static_cast<int64_t>(ggml_blck_size(tensor.type)) != bytes)
            return QStringLiteral("%1 is stored as type %2, not as the model's type %3")
                .arg(quoted)
                .arg(type)
                .arg(static_cast<int>(tensor.type));
        if (!in.skip(bytes))
            return QStringLiteral("the file is cut short inside the weights of %1").arg(quoted);
        tensor.seen = true;
        ++found;
    }
    if (found != expected.size())
        return QStringLiteral("the file holds %1 of the %2 tensors the model needs").arg(found).arg(expected.size());
    return std::nullopt;
}

} // namespace

std::optional<QString> whisperModelFileProblem(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return QStringLiteral("the file could not be opened (%1)").arg(file.errorString());
    if (file.size() == 0)
        return QStringLiteral("the file is empty");
    Reader in(file);
    const QString cutShort = QStringLiteral("the file ends inside its header");

    uint32_t magic = 0;
    if (!in.read(&magic) || magic != ggmlFileMagic)
        return QStringLiteral("the file is not a whisper model");
    HyperParameters h{};
    for (int32_t* value : {&h.vocabulary, &h.audioContext, &h.audioState, &h.audioHeads, &h.audioLayers, &h.textContext,
             &h.textState, &h.textHeads, &h.textLayers, &h.mels, &h.fileType}) {
        if (!in.read(value))
            return cutShort;
    }
    if (auto problem = checkHyperParameters(h))
        return problem;

    int32_t filterRows = 0;
    int32_t filterColumns = 0;
    if (!in.read(&filterRows) || !in.read(&filterColumns))
        return cutShort;
    if (filterRows != h.mels || filterColumns != frequencyBins)
        return QStringLiteral("the mel filters are %1 by %2, not %3 by %4")
            .arg(filterRows)
            .arg(filterColumns)
            .arg(h.mels)
            .arg(frequencyBins);
    if (!in.skip(int64_t{filterRows} * filterColumns * static_cast<int64_t>(sizeof(float))))
        return cutShort;

    int32_t tokenCount = 0;
    if (!in.read(&tokenCount))
        return cutShort;
    if (tokenCount < 0 || tokenCount > h.vocabulary)
        return QStringLiteral("the vocabulary lists %1 tokens for a model of %2").arg(tokenCount).arg(h.vocabulary);
    for (int32_t i = 0; i < tokenCount; ++i) {
        uint32_t length = 0;
        if (!in.read(&length) || !in.skip(length))
            return cutShort;
    }

    TensorTable expected = expectedTensors(h, *weightTypeFor(h.fileType));
    return walkTensors(in, expected);
}
