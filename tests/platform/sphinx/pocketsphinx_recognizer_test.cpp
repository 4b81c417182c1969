#include "platform/sphinx/PocketSphinxRecognizer.h"

#include "base/Dispatch.h"
#include "support/SynthesizedSpeech.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <mutex>
#include <vector>

namespace {

using Result = SpeechRecognizer::Result;
using Error = SpeechRecognizer::Error;

struct Collected {
    std::mutex mutex;
    std::vector<QString> partials;
    std::vector<Error> errors;
    std::optional<QString> finalText;
    bool onCallerThread = false;
    Dispatch::Semaphore done;
};

SpeechRecognizer::ResultHandler collectInto(Collected& c)
{
    return [&c](const std::optional<Result>& result, const std::optional<Error>& error) {
        std::lock_guard lock(c.mutex);
        if (Dispatch::isMainThread())
            c.onCallerThread = true;
        if (error) {
            c.errors.push_back(*error);
            c.done.signal();
        } else if (result && result->isFinal) {
            c.finalText = result->text;
            c.done.signal();
        } else if (result) {
            c.partials.push_back(result->text);
        }
    };
}

// Feeds the audio in capture-sized buffers, then ends it.
void feed(SpeechRecognizer::Task& task, const std::vector<float>& samples, int rate, int channels)
{
    const qsizetype framesPerBuffer = rate / 50;
    const qsizetype frames = qsizetype(samples.size()) / channels;
    for (qsizetype at = 0; at < frames; at += framesPerBuffer)
        task.append(samples.data() + at * channels, std::min(framesPerBuffer, frames - at), rate, channels);
    task.endAudio();
}

class PocketSphinxRecognizerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!canSynthesizeSpeech())
            GTEST_SKIP() << "espeak-ng and sox are needed";
        ASSERT_TRUE(dir.isValid());
    }
    QTemporaryDir dir;
};

TEST_F(PocketSphinxRecognizerTest, GeneralModelDeliversPartialsThenAFinalForCapturedStereo)
{
    auto recognizer = PocketSphinxRecognizer::forLocale(QLocale(QStringLiteral("en_US")));
    ASSERT_TRUE(recognizer);
    EXPECT_TRUE(recognizer->isAvailable());
    EXPECT_EQ(recognizer->authorizationStatus(), SpeechRecognizer::AuthorizationStatus::authorized);

    // A 48 kHz stereo capture exercises the down-mix and the resampler.
    const auto audio =
        synthesizeSpeech(dir.path(), QStringLiteral("the quick brown fox jumps over the lazy dog"), 48000, 2);
    ASSERT_FALSE(audio.empty());
    Collected c;
    auto task = recognizer->startTask(collectInto(c));
    ASSERT_TRUE(task);
    feed(*task, audio, 48000, 2);
    ASSERT_TRUE(c.done.wait(60.0));

    std::lock_guard lock(c.mutex);
    EXPECT_TRUE(c.errors.empty());
    EXPECT_FALSE(c.partials.empty());
    ASSERT_TRUE(c.finalText.has_value());
    EXPECT_FALSE(c.finalText->isEmpty());
    EXPECT_FALSE(c.onCallerThread);
}

TEST_F(PocketSphinxRecognizerTest, GrammarModelRecognizesTheSpokenWords)
{
    const QString grammar = dir.filePath(QStringLiteral("commands.gram"));
    QFile file(grammar);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("#JSGF V1.0;\ngrammar commands;\n"
               "public <command> = ( open | close | start | stop ) the ( door | window | recording );\n");
    file.close();
    auto model = PocketSphinxRecognizer::modelInFolder(QStringLiteral(TALLOWIND_POCKETSPHINX_MODEL_DIR));
    model.grammarFile = grammar;
    PocketSphinxRecognizer recognizer(model);

    const auto audio = synthesizeSpeech(dir.path(), QStringLiteral("close the window"), 16000, 1);
    ASSERT_FALSE(audio.empty());
    Collected c;
    auto task = recognizer.startTask(collectInto(c));
    feed(*task, audio, 16000, 1);
    ASSERT_TRUE(c.done.wait(60.0));
    std::lock_guard lock(c.mutex);
    ASSERT_TRUE(c.finalText.has_value());
    EXPECT_EQ(*c.finalText, QStringLiteral("close the window"));
}

TEST_F(PocketSphinxRecognizerTest, OneRecognitionAtATimeAndNothingAfterCancel)
{
    auto recognizer = PocketSphinxRecognizer::forLocale(QLocale(QStringLiteral("en_US")));
    ASSERT_TRUE(recognizer);
    const auto audio = synthesizeSpeech(dir.path(), QStringLiteral("hello there"), 16000, 1);

    Collected first;
    auto running = recognizer->startTask(collectInto(first));
    Collected second;
    auto refused = recognizer->startTask(collectInto(second));
    ASSERT_TRUE(second.done.wait(30.0));
    {
        std::lock_guard lock(second.mutex);
        ASSERT_EQ(second.errors.size(), 1u);
        EXPECT_EQ(second.errors[0].code, SpeechRecognizer::ErrorCode::busy);
    }

    // A cancelled recognition frees the slot at once and reports nothing more.
    running->append(audio.data(), qsizetype(audio.size()), 16000, 1);
    running->cancel();
    running->endAudio();
    Collected third;
    auto next = recognizer->startTask(collectInto(third));
    feed(*next, audio, 16000, 1);
    ASSERT_TRUE(third.done.wait(60.0));
    std::lock_guard lock(first.mutex);
    EXPECT_TRUE(first.partials.empty());
    EXPECT_FALSE(first.finalText.has_value());
    EXPECT_TRUE(first.errors.empty());
    std::lock_guard lock3(third.mutex);
    EXPECT_TRUE(third.finalText.has_value());
}

TEST(PocketSphinxRecognizerModels, MissingModelsMeanNoRecognizerOrAnUnavailableOne)
{
    QTemporaryDir empty;
    EXPECT_EQ(PocketSphinxRecognizer::forLocale(QLocale(QStringLiteral("de_DE")), empty.path()), nullptr);
    // A locale without its own model falls back to US English.
    EXPECT_NE(PocketSphinxRecognizer::forLocale(QLocale(QStringLiteral("de_DE"))), nullptr);

    PocketSphinxRecognizer broken(PocketSphinxRecognizer::modelInFolder(empty.filePath(QStringLiteral("xx"))));
    EXPECT_FALSE(broken.isAvailable());
    Collected c;
    auto task = broken.startTask(collectInto(c));
    const float silence[160] = {};
    task->append(silence, 160, 16000, 1);
    ASSERT_TRUE(c.done.wait(30.0));
    std::lock_guard lock(c.mutex);
    ASSERT_EQ(c.errors.size(), 1u);
    EXPECT_EQ(c.errors[0].code, SpeechRecognizer::ErrorCode::modelsUnavailable);
}

} // namespace
