#include "core/config/AppConfig.h"
#include "core/speech/WhisperWrapper.h"
#include "support/LogCapture.h"
#include "support/SettingsReset.h"
#include "support/TestSpeech.h"
#include "support/WhisperTestModel.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <thread>
#include <vector>

namespace {

// Few threads keep passes quick on a busy or small machine; the thread-count
// rule itself is checked with the parameter record. Under ThreadSanitizer
// passes take one thread, as the tool's own do in such a build.
#if defined(__SANITIZE_THREAD__)
constexpr int testThreads = 1;
#else
constexpr int testThreads = 2;
#endif

// Micro models and a spoken sentence, made once for the whole suite.
class WhisperWrapperTest : public DefaultsTest {
protected:
    static void SetUpTestSuite()
    {
        modelFolder = new QTemporaryDir;
        f16 = WhisperTestModel::writeMicro(modelFolder->path(), WhisperTestModel::WeightType::F16);
        q5 = WhisperTestModel::writeMicro(modelFolder->path(), WhisperTestModel::WeightType::Q5_0);
        q8 = WhisperTestModel::writeMicro(modelFolder->path(), WhisperTestModel::WeightType::Q8_0);
        speech = new std::vector<float>(TestSpeech::spoken(QStringLiteral("Please send the report before noon.")));
    }
    static void TearDownTestSuite()
    {
        delete speech;
        delete modelFolder;
    }
    void SetUp() override
    {
        DefaultsTest::SetUp();
        ASSERT_FALSE(f16.isEmpty());
        ASSERT_FALSE(q5.isEmpty());
        ASSERT_FALSE(q8.isEmpty());
        // One decoding attempt per window keeps passes short.
        AppConfig::setWhisperNoFallback(true);
    }

    static QString writeFile(const QString& name, const QByteArray& contents)
    {
        const QString path = QDir(modelFolder->path()).filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size())
            return {};
        return path;
    }

    static inline QTemporaryDir* modelFolder = nullptr;
    static inline QString f16, q5, q8;
    static inline std::vector<float>* speech = nullptr;
};

void expectCleanLine(const std::optional<QString>& text)
{
    ASSERT_TRUE(text.has_value());
    EXPECT_FALSE(text->isEmpty());
    EXPECT_EQ(*text, text->trimmed());
    EXPECT_FALSE(text->contains(QStringLiteral("  ")));
}

} // namespace

TEST_F(WhisperWrapperTest, RefusesFilesItCannotLoad)
{
    EXPECT_EQ(WhisperWrapper::create(QDir(modelFolder->path()).filePath("missing.bin")), nullptr);
    EXPECT_EQ(WhisperWrapper::create(modelFolder->path()), nullptr); // a folder
    EXPECT_EQ(WhisperWrapper::create(writeFile("text.bin", QByteArray(4000, 'x'))), nullptr);

    // A real model cut short inside its header (hyper-parameters, mel
    // filters, vocabulary): whisper.cpp would crash on these.
    QFile model(f16);
    ASSERT_TRUE(model.open(QIODevice::ReadOnly));
    const QByteArray bytes = model.read(600000);
    for (int length : {12, 48, 1056, 300000}) {
        SCOPED_TRACE(length);
        EXPECT_EQ(
            WhisperWrapper::create(writeFile(QStringLiteral("cut-%1.bin").arg(length), bytes.left(length))), nullptr);
    }
}

TEST_F(WhisperWrapperTest, HalfPrecisionAndQuantizedModelsTranscribe)
{
    for (const QString& path : {f16, q5, q8}) {
        SCOPED_TRACE(path.toStdString());
        const auto bridge = WhisperWrapper::create(path, testThreads);
        ASSERT_NE(bridge, nullptr);
        expectCleanLine(bridge->transcribe(*speech));
    }

    // All-f32 files load too (whisper.cpp's convolution needs f16 weights to
    // decode, so they are not run).
    const QString f32 = WhisperTestModel::writeMicro(modelFolder->path(), WhisperTestModel::WeightType::F32);
    ASSERT_FALSE(f32.isEmpty());
    EXPECT_NE(WhisperWrapper::create(f32, testThreads), nullptr);
}

TEST_F(WhisperWrapperTest, DecoderSettingsAboveWhisperLimitStillTranscribe)
{
    AppConfig::setWhisperBestOf(12);
    AppConfig::setWhisperBeamSize(12);
    const auto bridge = WhisperWrapper::create(f16, testThreads);
    ASSERT_NE(bridge, nullptr);
    expectCleanLine(bridge->transcribe(*speech));
}

TEST_F(WhisperWrapperTest, InputWithoutTextGivesNothing)
{
    const auto bridge = WhisperWrapper::create(f16, testThreads);
    ASSERT_NE(bridge, nullptr);
    LogCapture log;
    EXPECT_FALSE(bridge->transcribe({}).has_value());
    EXPECT_TRUE(log.hasSystemLine("[WhisperWrapper] Error: audio data is empty"));

    // whisper.cpp decodes nothing under 100 ms: no segments, no text, and no
    // failure line of ours.
    const std::vector<float> blip(800, 0.1f);
    EXPECT_FALSE(bridge->transcribe(blip).has_value());
    EXPECT_EQ(log.systemLines().size(), 1);
}

TEST_F(WhisperWrapperTest, SwitchingModels)
{
    const auto bridge = WhisperWrapper::create(f16, testThreads);
    ASSERT_NE(bridge, nullptr);
    const auto before = bridge->transcribe(*speech);
    ASSERT_TRUE(before.has_value());

    // A missing file changes nothing. (The rate argument is ignored: the
    // samples are decoded as 16 kHz whatever it says.)
    EXPECT_FALSE(bridge->switchModel(QDir(modelFolder->path()).filePath("gone.bin")));
    EXPECT_EQ(bridge->transcribe(*speech, 48000), before);

    // A file that fails to load leaves the bridge empty.
    EXPECT_FALSE(bridge->switchModel(writeFile("broken.bin", QByteArray(2000, '\0'))));
    {
        LogCapture log;
        EXPECT_FALSE(bridge->transcribe(*speech).has_value());
        EXPECT_TRUE(log.hasSystemLine("[WhisperWrapper] Error: context is nil"));
    }

    // A later switch brings it back.
    EXPECT_TRUE(bridge->switchModel(q5));
    expectCleanLine(bridge->transcribe(*speech));
    EXPECT_TRUE(bridge->switchModel(f16));
    EXPECT_EQ(bridge->transcribe(*speech), before);
}

TEST_F(WhisperWrapperTest, ConcurrentPassesAndSwitchesDoNotOverlap)
{
    const std::shared_ptr<WhisperWrapper> bridge = WhisperWrapper::create(f16, testThreads);
    ASSERT_NE(bridge, nullptr);
    const std::vector<float> audio = TestSpeech::fitted(*speech, 1.5);
    const auto expected = bridge->transcribe(audio);
    ASSERT_TRUE(expected.has_value());

    std::vector<std::optional<QString>> results(3);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < results.size(); ++i) {
        threads.emplace_back([bridge, &audio, &results, i] { results[i] = bridge->transcribe(audio); });
    }
    // Switching to the same file mid-way must wait for the running pass.
    threads.emplace_back([bridge, path = f16] { EXPECT_TRUE(bridge->switchModel(path)); });
    for (std::thread& thread : threads)
        thread.join();
    for (const auto& result : results)
        EXPECT_EQ(result, expected);
}
