#include "settings/models/AdvancedSettingsViewModel.h"

#include "base/Defaults.h"
#include "core/config/AppConfig.h"
#include "settings/models/NumberText.h"
#include "support/EventLoop.h"
#include "support/SettingsReset.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <limits>

namespace {

QStringList storedKeys()
{
    return Defaults::open()->allKeys();
}

// Waits out one save pause and a little more.
void waitForSave()
{
    pumpFor(AdvancedSettingsViewModel::saveDelayMs + 150);
}

using AdvancedSettingsTest = DefaultsTest;

} // namespace

TEST(NumberText, FloatsAndIntegersParseWholeTextsOnly)
{
    EXPECT_EQ(NumberText::parseFloat("0.7"), 0.7f);
    EXPECT_EQ(NumberText::parseFloat("+1e-1"), 0.1f);
    EXPECT_EQ(NumberText::parseFloat("-.5"), -0.5f);
    EXPECT_EQ(NumberText::parseFloat("0."), 0.0f);
    for (const char* bad : {"", " 1", "1 ", "abc", "1,5", "inf", "nan", "1e50", "0x10", "+-1", "--1"})
        EXPECT_FALSE(NumberText::parseFloat(bad).has_value()) << bad;
    EXPECT_EQ(NumberText::parseInt32("+7"), 7);
    EXPECT_EQ(NumberText::parseInt32("-2147483648"), std::numeric_limits<int32_t>::min());
    for (const char* bad : {"", "5.0", "2147483648", "1e2", " 3", "x"})
        EXPECT_FALSE(NumberText::parseInt32(bad).has_value()) << bad;
    EXPECT_EQ(NumberText::fromFloat(0.0f), "0.0");
    EXPECT_EQ(NumberText::fromFloat(2.4f), "2.4");
    EXPECT_EQ(NumberText::fromFloat(-1.0f), "-1.0");
    EXPECT_EQ(NumberText::fromFloat(0.7f), "0.7");
    EXPECT_EQ(NumberText::parseFloat(NumberText::fromFloat(1e20f)), 1e20f);
}

TEST_F(AdvancedSettingsTest, ConstructionShowsTheStoreAndWritesNothing)
{
    AdvancedSettingsViewModel model;
    EXPECT_EQ(model.settings(), AdvancedSettings());
    waitForSave();
    EXPECT_TRUE(storedKeys().isEmpty()) << storedKeys().join(",").toStdString();

    AppConfig::setWhisperEntropyThreshold(3.25f);
    AppConfig::setWhisperBeamSize(8);
    AppConfig::setEnableBetaFeatures(true);
    AdvancedSettingsViewModel loaded;
    EXPECT_EQ(loaded.whisperEntropyThreshold(), "3.25");
    EXPECT_EQ(loaded.whisperBeamSize(), "8");
    EXPECT_TRUE(loaded.enableBetaFeatures());
}

TEST_F(AdvancedSettingsTest, SwitchesAreStoredAtOnceEvenWhenUnchanged)
{
    AdvancedSettingsViewModel model;
    QSignalSpy announced(&model, &AdvancedSettingsViewModel::enableVoiceActivityDetectionChanged);
    model.setEnableVoiceActivityDetection(true);
    EXPECT_EQ(announced.count(), 1);
    EXPECT_TRUE(Defaults::contains("EnableVoiceActivityDetection"));
    model.setWhisperNoFallback(true);
    EXPECT_TRUE(AppConfig::whisperNoFallback());
    model.setVadThreshold(0.8);
    EXPECT_EQ(AppConfig::vadThreshold(), 0.8);
    // Not a number: refused, nothing announced or stored.
    QSignalSpy thresholds(&model, &AdvancedSettingsViewModel::vadThresholdChanged);
    model.setVadThreshold(std::numeric_limits<double>::quiet_NaN());
    model.setVadThreshold(std::numeric_limits<double>::infinity());
    EXPECT_EQ(thresholds.count(), 0);
    EXPECT_EQ(model.vadThreshold(), 0.8);
    EXPECT_EQ(AppConfig::vadThreshold(), 0.8);
}

TEST_F(AdvancedSettingsTest, ATextIsCheckedOnceAfterThePauseWithItsNewestValue)
{
    AdvancedSettingsViewModel model;
    QSignalSpy checks(&model, &AdvancedSettingsViewModel::temperatureErrorChanged);
    model.setWhisperTemperature("0");
    model.setWhisperTemperature("0.");
    model.setWhisperTemperature("0.7");
    EXPECT_FALSE(Defaults::contains("WhisperTemperature"));
    ASSERT_TRUE(pumpUntil([] { return Defaults::contains("WhisperTemperature"); }));
    EXPECT_EQ(AppConfig::whisperTemperature(), 0.7f);
    waitForSave();
    EXPECT_EQ(checks.count(), 1); // cleared once, by the one check
    EXPECT_EQ(model.whisperTemperature(), "0.7");
}

TEST_F(AdvancedSettingsTest, ValidationMessagesAndBounds)
{
    AdvancedSettingsViewModel model;
    struct Case {
        void (AdvancedSettingsViewModel::*set)(const QString&);
        const std::optional<QString>& (AdvancedSettingsViewModel::*error)() const;
        QString text;
        std::optional<QString> message;
    };
    const QString range10 = "Must be between 1 and 10";
    const std::vector<Case> cases{
        {&AdvancedSettingsViewModel::setWhisperTemperature, &AdvancedSettingsViewModel::temperatureError, "1.01",
            QString("Must be between 0.0 and 1.0")},
        {&AdvancedSettingsViewModel::setWhisperBeamSize, &AdvancedSettingsViewModel::beamSizeError, "0", range10},
        {&AdvancedSettingsViewModel::setWhisperBestOf, &AdvancedSettingsViewModel::bestOfError, "11", range10},
        {&AdvancedSettingsViewModel::setWhisperEntropyThreshold, &AdvancedSettingsViewModel::entropyThresholdError,
            "-0.1", QString("Must be non-negative")},
        {&AdvancedSettingsViewModel::setWhisperLogProbThreshold, &AdvancedSettingsViewModel::logProbThresholdError,
            "abc", QString("Must be a valid number")},
    };
    for (const Case& c : cases)
        (model.*c.set)(c.text);
    waitForSave();
    for (const Case& c : cases)
        EXPECT_EQ((model.*c.error)(), c.message) << c.text.toStdString();
    EXPECT_TRUE(storedKeys().isEmpty());

    model.setWhisperTemperature("");
    model.setWhisperBeamSize("5.0");
    model.setWhisperBestOf("99999999999");
    waitForSave();
    EXPECT_EQ(model.temperatureError(), "Must be a valid number");
    EXPECT_EQ(model.beamSizeError(), "Must be a valid integer");
    EXPECT_EQ(model.bestOfError(), "Must be a valid integer");

    // The bounds themselves are valid, and a valid text clears the message.
    model.setWhisperTemperature("1.0");
    model.setWhisperBeamSize("10");
    model.setWhisperBestOf("1");
    model.setWhisperEntropyThreshold("0");
    model.setWhisperLogProbThreshold("-5");
    waitForSave();
    EXPECT_FALSE(model.temperatureError() || model.beamSizeError() || model.bestOfError()
        || model.entropyThresholdError() || model.logProbThresholdError());
    EXPECT_EQ(AppConfig::whisperTemperature(), 1.0f);
    EXPECT_EQ(AppConfig::whisperBeamSize(), 10);
    EXPECT_EQ(AppConfig::whisperBestOf(), 1);
    EXPECT_EQ(AppConfig::whisperEntropyThreshold(), 0.0f);
    EXPECT_EQ(AppConfig::whisperLogProbThreshold(), -5.0f);
}

TEST_F(AdvancedSettingsTest, ResetRestoresEveryDefaultIncludingBeamSizeFive)
{
    AdvancedSettingsViewModel model;
    model.setEnableStreamingMode(true);
    model.setWhisperBeamSize("11");
    model.setWhisperTemperature("0.3");
    waitForSave();
    ASSERT_TRUE(model.beamSizeError().has_value());
    model.resetToDefaults();
    EXPECT_FALSE(AppConfig::enableStreamingMode());
    EXPECT_EQ(model.settings(), AdvancedSettings());
    waitForSave();
    EXPECT_EQ(AppConfig::whisperBeamSize(), 5);
    EXPECT_EQ(AppConfig::whisperTemperature(), 0.0f);
    EXPECT_FALSE(model.beamSizeError().has_value());
}

TEST_F(AdvancedSettingsTest, AModelGoneBeforeThePauseEndsSavesNothing)
{
    {
        AdvancedSettingsViewModel model;
        model.setWhisperBestOf("3");
    }
    waitForSave();
    EXPECT_FALSE(Defaults::contains("WhisperBestOf"));
}
