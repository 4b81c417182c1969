#include "core/config/AppConfig.h"
#include "support/SettingsReset.h"

using AppConfigTest = DefaultsTest;

TEST_F(AppConfigTest, EmptyStoreReadsTheDefaults)
{
    EXPECT_FALSE(AppConfig::enableStreamingMode());
    EXPECT_FALSE(AppConfig::enableRecordingSaving());
    EXPECT_TRUE(AppConfig::insertAfterRecording());
    EXPECT_TRUE(AppConfig::enableVoiceActivityDetection());
    EXPECT_EQ(AppConfig::whisperBestOf(), 5);
    EXPECT_EQ(AppConfig::whisperBeamSize(), 5);
    EXPECT_EQ(AppConfig::whisperTemperature(), 0.0f);
    EXPECT_FALSE(AppConfig::whisperNoFallback());
    EXPECT_EQ(AppConfig::whisperEntropyThreshold(), 2.4f);
    EXPECT_EQ(AppConfig::whisperLogProbThreshold(), -1.0f);
    EXPECT_EQ(AppConfig::vadSegmentationMode(), "conservative");
    EXPECT_EQ(AppConfig::vadThreshold(), 0.5);
    EXPECT_TRUE(AppConfig::whisperDictionaryWords().isEmpty());
    EXPECT_FALSE(AppConfig::popoverWindowPosition().has_value());
}

TEST_F(AppConfigTest, WrittenValuesReadBackAndRemovalRestoresDefault)
{
    AppConfig::setEnableVoiceActivityDetection(false);
    EXPECT_FALSE(AppConfig::enableVoiceActivityDetection());
    Defaults::remove("EnableVoiceActivityDetection");
    EXPECT_TRUE(AppConfig::enableVoiceActivityDetection());

    AppConfig::setWhisperTemperature(0.25f);
    AppConfig::setWhisperBestOf(2);
    AppConfig::setWhisperDictionaryWords({"Qt", "ggml"});
    EXPECT_EQ(AppConfig::whisperTemperature(), 0.25f);
    EXPECT_EQ(AppConfig::whisperBestOf(), 2);
    EXPECT_EQ(AppConfig::whisperDictionaryWords(), (QStringList{"Qt", "ggml"}));
}

TEST_F(AppConfigTest, EmptySegmentationModeIsKeptNotDefaulted)
{
    AppConfig::setVadSegmentationMode("");
    EXPECT_EQ(AppConfig::vadSegmentationMode(), "");
}

TEST_F(AppConfigTest, WrongTypesReadAsDefaultsWithoutFailing)
{
    Defaults::setValue("WhisperBestOf", QString("seven"));
    Defaults::setValue("WhisperBeamSize", qlonglong(1) << 40);
    Defaults::setValue("EnableVoiceActivityDetection", QString("no"));
    Defaults::setValue("WhisperEntropyThreshold", true);
    Defaults::setValue("WhisperDictionaryWords", QVariantList{"ok", 3});
    EXPECT_EQ(AppConfig::whisperBestOf(), 5);
    EXPECT_EQ(AppConfig::whisperBeamSize(), 5);
    EXPECT_TRUE(AppConfig::enableVoiceActivityDetection());
    EXPECT_EQ(AppConfig::whisperEntropyThreshold(), 2.4f);
    EXPECT_TRUE(AppConfig::whisperDictionaryWords().isEmpty());
}

TEST_F(AppConfigTest, BooleanLookupConvertsStoredText)
{
    Defaults::setValue("StreamingModeEnabled", QString("YES"));
    EXPECT_TRUE(AppConfig::enableStreamingMode());
    Defaults::setValue("StreamingModeEnabled", 0);
    EXPECT_FALSE(AppConfig::enableStreamingMode());
}

TEST_F(AppConfigTest, PopoverPositionNeedsBothCoordinates)
{
    AppConfig::setPopoverWindowPosition(QPointF(10.5, 20));
    ASSERT_TRUE(AppConfig::popoverWindowPosition().has_value());
    EXPECT_EQ(*AppConfig::popoverWindowPosition(), QPointF(10.5, 20));

    Defaults::remove("PopoverWindowY");
    EXPECT_FALSE(AppConfig::popoverWindowPosition().has_value());

    AppConfig::setPopoverWindowPosition(QPointF(1, 2));
    AppConfig::setPopoverWindowPosition(std::nullopt);
    EXPECT_FALSE(Defaults::contains("PopoverWindowX"));
    EXPECT_FALSE(Defaults::contains("PopoverWindowY"));
}

TEST_F(AppConfigTest, ResetForgetsDecodingSettingsButKeepsDictionary)
{
    AppConfig::setWhisperBestOf(1);
    AppConfig::setWhisperBeamSize(2);
    AppConfig::setWhisperTemperature(0.7f);
    AppConfig::setWhisperNoFallback(true);
    AppConfig::setWhisperEntropyThreshold(9.0f);
    AppConfig::setWhisperLogProbThreshold(-3.0f);
    AppConfig::setWhisperDictionaryWords({"keep"});
    AppConfig::resetWhisperSettings();
    EXPECT_EQ(AppConfig::whisperBestOf(), 5);
    EXPECT_EQ(AppConfig::whisperBeamSize(), 5);
    EXPECT_EQ(AppConfig::whisperTemperature(), 0.0f);
    EXPECT_FALSE(AppConfig::whisperNoFallback());
    EXPECT_EQ(AppConfig::whisperEntropyThreshold(), 2.4f);
    EXPECT_EQ(AppConfig::whisperLogProbThreshold(), -1.0f);
    EXPECT_EQ(AppConfig::whisperDictionaryWords(), QStringList{"keep"});
}
