#include "core/speech/WhisperModelFile.h"
#include "core/speech/WhisperWrapper.h"
#include "support/WhisperTestModel.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstring>

namespace {

// Offsets of the fixed part of the header.
constexpr qsizetype audioStateAt = 12;
constexpr qsizetype audioHeadAt = 16;
constexpr qsizetype audioLayerAt = 20;
constexpr qsizetype textStateAt = 28;
constexpr qsizetype fileTypeAt = 44;
constexpr qsizetype filterRowsAt = 48;
constexpr qsizetype filterColumnsAt = 52;
constexpr qsizetype filtersAt = 56;

int32_t int32At(const QByteArray& bytes, qsizetype at)
{
    int32_t value = 0;
    std::memcpy(&value, bytes.constData() + at, sizeof value);
    return value;
}

void setInt32(QByteArray& bytes, qsizetype at, int32_t value)
{
    std::memcpy(bytes.data() + at, &value, sizeof value);
}

// Where the tensor records start: after the mel filters and the vocabulary.
qsizetype firstTensorAt(const QByteArray& bytes)
{
    qsizetype at = filtersAt + qsizetype{int32At(bytes, filterRowsAt)} * int32At(bytes, filterColumnsAt) * 4;
    const int32_t tokens = int32At(bytes, at);
    at += 4;
    for (int32_t i = 0; i < tokens; ++i)
        at += 4 + int32At(bytes, at);
    return at;
}

class WhisperModelFileTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        folder = new QTemporaryDir;
        const QString path = WhisperTestModel::writeMicro(folder->path(), WhisperTestModel::WeightType::F16);
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            model = new QByteArray(file.readAll());
    }
    static void TearDownTestSuite()
    {
        delete model;
        delete folder;
    }
    void SetUp() override { ASSERT_NE(model, nullptr); }

    static QString write(const QString& name, const QByteArray& contents)
    {
        const QString path = QDir(folder->path()).filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size())
            return {};
        return path;
    }

    // The file's problem, which whisper.cpp's loader must never see: the
    // speech bridge refuses the file instead of crashing on it.
    static QString problemOf(const QString& name, const QByteArray& contents)
    {
        const QString path = write(name, contents);
        EXPECT_EQ(WhisperWrapper::create(path, 1), nullptr) << name.toStdString();
        return whisperModelFileProblem(path).value_or(QStringLiteral("<accepted>"));
    }

    static inline QTemporaryDir* folder = nullptr;
    static inline QByteArray* model = nullptr;
};

} // namespace

TEST_F(WhisperModelFileTest, SoundModelsOfEveryWeightTypePass)
{
    using WeightType = WhisperTestModel::WeightType;
    for (WeightType type : {WeightType::F32, WeightType::F16, WeightType::Q5_0, WeightType::Q8_0}) {
        const QString path = WhisperTestModel::writeMicro(folder->path(), type);
        ASSERT_FALSE(path.isEmpty());
        EXPECT_EQ(whisperModelFileProblem(path), std::nullopt) << path.toStdString();
        EXPECT_TRUE(hasCompleteWhisperHeader(path));
    }
    EXPECT_TRUE(whisperModelFileProblem(QDir(folder->path()).filePath("missing.bin"))
                    ->startsWith("the file could not be opened"));
    EXPECT_TRUE(whisperModelFileProblem(folder->path()).has_value());
}

TEST_F(WhisperModelFileTest, HyperParametersOutOfRangeOrInconsistentAreRefused)
{
    const auto patched = [](qsizetype at, int32_t value) {
        QByteArray bytes = *model;
        setInt32(bytes, at, value);
        return bytes;
    };
    EXPECT_EQ(problemOf("magic.bin", patched(0, 0x12345678)), "the file is not a whisper model");
    EXPECT_EQ(
        problemOf("vocabulary.bin", patched(4, 100)), "the hyper-parameter n_vocab is 100, outside 51864 to 51866");
    EXPECT_EQ(problemOf("layers.bin", patched(audioLayerAt, 0x7fffffff)),
        "the hyper-parameter n_audio_layer is 2147483647, outside 1 to 128");
    EXPECT_EQ(problemOf("state.bin", patched(audioStateAt, 1 << 30)),
        "the hyper-parameter n_audio_state is 1073741824, outside 1 to 8192");
    EXPECT_EQ(
        problemOf("heads0.bin", patched(audioHeadAt, 0)), "the hyper-parameter n_audio_head is 0, outside 1 to 8192");
    EXPECT_EQ(problemOf("states.bin", patched(textStateAt, 128)),
        "the text state size 128 differs from the audio state size 64");

    QByteArray threeHeads = patched(audioStateAt, 4);
    setInt32(threeHeads, textStateAt, 4);
    setInt32(threeHeads, audioHeadAt, 3);
    EXPECT_EQ(problemOf("heads.bin", threeHeads), "the audio state size 4 does not divide into 3 heads");

    for (int32_t fileType : {4, 5, 6, 28, 99, -1, 1004})
        EXPECT_EQ(problemOf(QStringLiteral("ftype%1.bin").arg(fileType), patched(fileTypeAt, fileType)),
            QStringLiteral("the weight type %1 is unknown").arg(fileType));
}

TEST_F(WhisperModelFileTest, FiltersAndVocabularyMustLieWithinTheFile)
{
    // Counts near 2^31 once overflowed the size computation.
    QByteArray huge = *model;
    setInt32(huge, filterRowsAt, 0x7fffffff);
    setInt32(huge, filterColumnsAt, 0x7fffffff);
    EXPECT_EQ(problemOf("filters.bin", huge), "the mel filters are 2147483647 by 2147483647, not 80 by 201");
    QByteArray columns = *model;
    setInt32(columns, filterColumnsAt, 200);
    EXPECT_EQ(problemOf("columns.bin", columns), "the mel filters are 80 by 200, not 80 by 201");

    const qsizetype tokensAt = filtersAt + 80 * 201 * 4;
    QByteArray tooMany = *model;
    setInt32(tooMany, tokensAt, 60000);
    EXPECT_EQ(problemOf("tokens.bin", tooMany), "the vocabulary lists 60000 tokens for a model of 51865");
    QByteArray longToken = *model;
    setInt32(longToken, tokensAt + 4, -2);
    EXPECT_EQ(problemOf("token.bin", longToken), "the file ends inside its header");

    for (qsizetype length : {qsizetype{0}, qsizetype{3}, qsizetype{12}, qsizetype{48}, qsizetype{1056}, tokensAt + 2,
             firstTensorAt(*model) - 1})
        EXPECT_EQ(problemOf(QStringLiteral("cut%1.bin").arg(length), model->left(length)),
            length == 0      ? "the file is empty"
                : length < 4 ? "the file is not a whisper model"
                             : "the file ends inside its header")
            << length;
}

TEST_F(WhisperModelFileTest, EveryTensorRecordIsCheckedWithoutReadingWeights)
{
    const qsizetype first = firstTensorAt(*model);
    ASSERT_EQ(int32At(*model, first), 2); // encoder.positional_embedding [64, 1500]
    const auto patched = [first](qsizetype field, int32_t value) {
        QByteArray bytes = *model;
        setInt32(bytes, first + field, value);
        return bytes;
    };

    EXPECT_EQ(problemOf("no-tensors.bin", model->left(first)), "the file holds 0 of the 50 tensors the model needs");
    EXPECT_EQ(problemOf("dims5.bin", patched(0, 5)), "tensor record 1 has 5 dimensions (1 to 4 allowed)");
    EXPECT_EQ(problemOf("dims0.bin", patched(0, 0)), "tensor record 1 has 0 dimensions (1 to 4 allowed)");
    EXPECT_EQ(problemOf("dims-big.bin", patched(0, 0x40000000)),
        "tensor record 1 has 1073741824 dimensions (1 to 4 allowed)");
    EXPECT_EQ(problemOf("name.bin", patched(4, -1)), "tensor record 1 has a name of -1 bytes");
    EXPECT_EQ(problemOf("type.bin", patched(8, 99)), "tensor 'encoder.positional_embedding' has the unknown type 99");
    EXPECT_EQ(
        problemOf("removed-type.bin", patched(8, 4)), "tensor 'encoder.positional_embedding' has the unknown type 4");
    EXPECT_EQ(problemOf("stored-as.bin", patched(8, 1)),
        "tensor 'encoder.positional_embedding' is stored as type 1, not as the model's type 0");
    EXPECT_EQ(problemOf("shape.bin", patched(12, 65)),
        "tensor 'encoder.positional_embedding' has the shape [65, 1500, 1, 1], not [64, 1500, 1, 1]");
    QByteArray renamed = *model;
    renamed[first + 20] = 'X';
    EXPECT_EQ(problemOf("renamed.bin", renamed), "tensor 'Xncoder.positional_embedding' is not part of this model");

    // Complete headers, weights cut short: whisper.cpp would allocate every
    // weight and fail.
    EXPECT_EQ(problemOf("short-weights.bin", model->left(model->size() - 1)),
        "the file is cut short inside the weights of tensor 'decoder.blocks.0.cross_attn.out.bias'");
    EXPECT_EQ(problemOf("in-record.bin", model->left(first + 40)), "the file ends inside tensor record 1");
    EXPECT_EQ(problemOf("first-weights.bin", model->left(first + 48 + 100)),
        "the file is cut short inside the weights of tensor 'encoder.positional_embedding'");

    // The same record twice in place of another.
    const qsizetype record = 3 * 4 + 2 * 4 + 28 + 64 * 1500 * 4;
    QByteArray twice = model->left(first + record) + model->mid(first, record) + model->mid(first + record);
    EXPECT_TRUE(problemOf("twice.bin", twice).endsWith("appears twice"));

    // A few stray bytes after the last weights are ignored, as the loader does.
    EXPECT_EQ(whisperModelFileProblem(write("trailing.bin", *model + QByteArray(11, '\0'))), std::nullopt);
}
