#include "FuzzTargets.h"

#include "base/Defaults.h"
#include "core/input/ShortcutTableFormat.h"
#include "core/speech/WhisperModelFile.h"
#include "recording/RecordingMetadata.h"
#include "recording/RecordingsIndex.h"
#include "recording/WavFile.h"
#include "support/WhisperTestModel.h"

#include <whisper.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>
#include <vector>

namespace FuzzTargets {
namespace {

[[noreturn]] void broken(const char* invariant)
{
    std::fprintf(stderr, "fuzz invariant broken: %s\n", invariant);
    std::abort();
}

void require(bool holds, const char* invariant)
{
    if (!holds)
        broken(invariant);
}

const QTemporaryDir& scratch()
{
    static const QTemporaryDir folder;
    return folder;
}

QString scratchFile(const char* name)
{
    const QString path = QDir(scratch().path()).filePath(QLatin1String(name));
    QFile::remove(path);
    return path;
}

void writeFile(const QString& path, const QByteArray& contents)
{
    QFile file(path);
    require(file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size(), "scratch file written");
}

template <typename T> T readLittle(const QByteArray& bytes, qsizetype at)
{
    T value{};
    std::memcpy(&value, bytes.constData() + at, sizeof value);
    return qFromLittleEndian(value);
}

} // namespace

void recordingsIndex(const QByteArray& input)
{
    const RecordingsIndexCodec::Decoded decoded = RecordingsIndexCodec::decode(input);
    require(decoded.entries.has_value() != !decoded.error.isEmpty(), "an index either decodes or says why not");
    if (!decoded.entries)
        return;
    // What was read is written back whole and reads back the same.
    const QByteArray encoded = RecordingsIndexCodec::encode(*decoded.entries);
    const RecordingsIndexCodec::Decoded again = RecordingsIndexCodec::decode(encoded);
    require(again.entries.has_value(), "a written index reads back");
    require(again.entries->size() == decoded.entries->size(), "no entry lost in the round trip");
    require(RecordingsIndexCodec::encode(*again.entries) == encoded, "the round trip is stable");

    // The file layer: load, and an unreadable file is reported as such.
    const QString path = scratchFile("metadata.json");
    writeFile(path, input);
    const RecordingsIndex::Contents contents = RecordingsIndex::load(path);
    require(!contents.unreadable && contents.entries.size() == decoded.entries->size(), "the file reads as its bytes");
}

void settingsFormat(const QByteArray& input)
{
    QSettings::SettingsMap map;
    if (!Defaults::decode(input, map))
        return;
    const QByteArray encoded = Defaults::encode(map);
    QSettings::SettingsMap again;
    require(Defaults::decode(encoded, again), "written settings read back");
    require(again.keys() == map.keys(), "no setting lost in the round trip");
    require(Defaults::encode(again) == encoded, "the round trip is stable");
}

void shortcutTable(const QByteArray& input)
{
    const std::optional<ShortcutTable> table = ShortcutTableFormat::decode(input);
    if (!table)
        return;
    const std::optional<ShortcutTable> again = ShortcutTableFormat::decode(ShortcutTableFormat::encode(*table));
    require(again.has_value(), "a written table reads back");
    require(*again == *table, "the table survives the round trip");
}

// The input is a sample rate (8 bytes, a double) followed by samples.
void wavFile(const QByteArray& input)
{
    double rate = 16000.0;
    if (input.size() >= 8)
        std::memcpy(&rate, input.constData(), sizeof rate);
    const QByteArray sampleBytes = input.size() >= 8 ? input.mid(8) : QByteArray();
    std::vector<float> samples(static_cast<size_t>(sampleBytes.size()) / sizeof(float));
    std::memcpy(samples.data(), sampleBytes.constData(), samples.size() * sizeof(float));

    const QString path = scratchFile("recording.wav");
    QString error;
    const bool written = WavFile::write(path, std::span<const float>(samples), rate, error);
    const QString refusal = WavFile::rejectionReason(samples.size(), rate);
    require(written == refusal.isEmpty(), "a recording is written exactly when it is not refused");
    require(written || !QFile::exists(path), "a refused recording leaves no file");
    if (!written)
        return;

    QFile file(path);
    require(file.open(QIODevice::ReadOnly), "the written file opens");
    const QByteArray bytes = file.readAll();
    const auto frames = static_cast<uint32_t>(samples.size());
    require(bytes.size() == WavFile::headerSize + qsizetype{4} * frames, "the file holds the header and every sample");
    require(bytes.startsWith("RIFF") && bytes.mid(8, 8) == "WAVEfmt ", "RIFF/WAVE signature");
    require(readLittle<uint32_t>(bytes, 4) == static_cast<uint32_t>(bytes.size() - 8), "RIFF size");
    require(readLittle<uint16_t>(bytes, 20) == 3 && readLittle<uint16_t>(bytes, 22) == 1, "mono float format");
    const uint32_t storedRate = readLittle<uint32_t>(bytes, 24);
    require(storedRate >= 1 && readLittle<uint32_t>(bytes, 28) == storedRate * 4, "rate and byte rate agree");
    require(bytes.mid(38, 4) == "fact" && readLittle<uint32_t>(bytes, 46) == frames, "fact chunk counts the frames");
    require(bytes.mid(50, 4) == "data" && readLittle<uint32_t>(bytes, 54) == frames * 4, "data chunk size");
    require(std::memcmp(bytes.constData() + WavFile::headerSize, samples.data(), samples.size() * sizeof(float)) == 0,
        "the samples are stored bit for bit");
}

namespace {

// A sound micro model and where its structures start, so that mutations land
// on headers rather than on weights.
struct BaseModel {
    QByteArray bytes;
    std::vector<qsizetype> tokens; // each vocabulary entry's length field
    std::vector<qsizetype> records; // each tensor record's first byte
};

const BaseModel& baseModel()
{
    static const BaseModel model = [] {
        BaseModel base;
        const QString path = WhisperTestModel::writeMicro(scratch().path(), WhisperTestModel::WeightType::Q8_0);
        QFile file(path);
        require(file.open(QIODevice::ReadOnly), "the base model was written");
        base.bytes = file.readAll();
        const QByteArray& b = base.bytes;
        qsizetype at = 56 + qsizetype{readLittle<int32_t>(b, 48)} * readLittle<int32_t>(b, 52) * 4;
        const int32_t tokenCount = readLittle<int32_t>(b, at);
        at += 4;
        for (int32_t i = 0; i < tokenCount; ++i) {
            base.tokens.push_back(at);
            at += 4 + readLittle<uint32_t>(b, at);
        }
        while (at + 12 <= b.size()) {
            base.records.push_back(at);
            const int32_t dimensions = readLittle<int32_t>(b, at);
            const int32_t nameLength = readLittle<int32_t>(b, at + 4);
            const auto type = static_cast<ggml_type>(readLittle<int32_t>(b, at + 8));
            int64_t rows = 1;
            for (int32_t d = 1; d < dimensions; ++d)
                rows *= readLittle<int32_t>(b, at + 12 + 4 * d);
            const int32_t perRow = readLittle<int32_t>(b, at + 12);
            at += 12 + 4 * dimensions + nameLength + static_cast<qsizetype>(ggml_row_size(type, perRow)) * rows;
        }
        return base;
    }();
    return model;
}

// Each 8-byte edit: what (header field, vocabulary entry, tensor record or a
// cut), which one, an offset inside it and a 32-bit value.
QByteArray mutatedModel(const QByteArray& edits)
{
    const BaseModel& base = baseModel();
    QByteArray model = base.bytes;
    qsizetype length = model.size();
    for (qsizetype at = 0; at + 8 <= edits.size(); at += 8) {
        const auto kind = static_cast<uint8_t>(edits[at]) % 4;
        const uint16_t which = readLittle<uint16_t>(edits, at + 1);
        const auto offset = static_cast<uint8_t>(edits[at + 3]);
        const int32_t value = readLittle<int32_t>(edits, at + 4);
        qsizetype target = 0;
        switch (kind) {
        case 0: // magic, hyper-parameters, filter sizes
            target = 4 * (offset % 14);
            break;
        case 1:
            target = base.tokens[which % base.tokens.size()];
            break;
        case 2:
            target = base.records[which % base.records.size()] + 4 * (offset % 5);
            break;
        case 3:
            length = std::min(length, base.records[which % base.records.size()] + offset);
            continue;
        }
        std::memcpy(model.data() + target, &value, sizeof value);
    }
    return model.left(length);
}

} // namespace

// Input starting with the model magic is a whole file; anything else edits a
// sound micro model.
void modelFile(const QByteArray& input)
{
    const QString path = scratchFile("model.bin");
    writeFile(path, input.startsWith("lmgg") ? input : mutatedModel(input));
    const std::optional<QString> problem = whisperModelFileProblem(path);
    require(!problem || !problem->isEmpty(), "a refusal has a reason");
    if (problem)
        return;
    // Whatever the check accepts, whisper.cpp must load without crashing.
    whisper_context_params params = whisper_context_default_params();
    params.use_gpu = false;
    whisper_context* context = whisper_init_from_file_with_params(QFile::encodeName(path).constData(), params);
    require(context != nullptr, "an accepted model file loads");
    whisper_free(context);
}

} // namespace FuzzTargets
