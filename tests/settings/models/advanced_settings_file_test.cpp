#include "settings/ScratchFolderFixture.h"
#include "settings/models/AdvancedSettingsFile.h"
#include "settings/models/AdvancedSettingsViewModel.h"

#include "core/config/AppConfig.h"
#include "support/EventLoop.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>

#include <variant>

namespace {

class SettingsFileTest : public ScratchFolderTest {
protected:
    QString pathOf(const QString& name) const { return folder.filePath(name); }
    static AdvancedSettingsUpdate decoded(const QByteArray& bytes)
    {
        auto result = AdvancedSettingsFile::decode(bytes);
        EXPECT_TRUE(std::holds_alternative<AdvancedSettingsUpdate>(result));
        return std::holds_alternative<AdvancedSettingsUpdate>(result) ? std::get<AdvancedSettingsUpdate>(result)
                                                                      : AdvancedSettingsUpdate();
    }
};

} // namespace

TEST_F(SettingsFileTest, ChangedAndDefaultValuesSurviveTheRoundTrip)
{
    AdvancedSettings changed;
    changed.enableStreamingMode = true;
    changed.enableVoiceActivityDetection = false;
    changed.vadThreshold = 0.35;
    changed.whisperTemperature = "0.7";
    changed.whisperBeamSize = "3";
    changed.whisperBestOf = "9";
    changed.whisperEntropyThreshold = "1.75";
    changed.whisperLogProbThreshold = "-2.5";
    changed.whisperNoFallback = true;
    changed.enableDebugLogging = true;
    changed.enableBetaFeatures = true;
    AdvancedSettingsViewModel model;
    model.apply(decoded(AdvancedSettingsFile::encode(changed)));
    EXPECT_EQ(model.settings(), changed);
    pumpFor(AdvancedSettingsViewModel::saveDelayMs + 150);
    EXPECT_EQ(AppConfig::whisperTemperature(), 0.7f);
    EXPECT_EQ(AppConfig::whisperBestOf(), 9);
    EXPECT_EQ(AppConfig::vadThreshold(), 0.35);

    // A file of the defaults puts every changed value back.
    writeFile(pathOf("defaults.json"), AdvancedSettingsFile::encode(AdvancedSettings()));
    ASSERT_FALSE(model.importSettingsFrom(pathOf("defaults.json")).has_value());
    EXPECT_EQ(model.settings(), AdvancedSettings());
    EXPECT_FALSE(AppConfig::enableStreamingMode());
}

TEST_F(SettingsFileTest, UnparseableTextsAreExportedAsTheirDefaults)
{
    AdvancedSettings typed;
    typed.whisperTemperature = "warm";
    typed.whisperBeamSize = "wide";
    typed.whisperLogProbThreshold = "1e99";
    const QJsonObject root = QJsonDocument::fromJson(AdvancedSettingsFile::encode(typed)).object();
    EXPECT_EQ(root.value("whisperTemperature").toDouble(), 0.0);
    EXPECT_EQ(root.value("whisperBeamSize").toInt(), 5);
    EXPECT_EQ(root.value("whisperLogProbThreshold").toDouble(), -1.0);
}

TEST_F(SettingsFileTest, WrongTypesAreIgnored)
{
    const AdvancedSettingsUpdate update = decoded(R"({
        "enableStreamingMode": 1,
        "enableVoiceActivityDetection": "false",
        "vadThreshold": "0.4",
        "whisperTemperature": "0.2",
        "whisperBeamSize": 7.5,
        "whisperBestOf": "7",
        "whisperEntropyThreshold": null,
        "whisperLogProbThreshold": 1e300,
        "whisperNoFallback": true,
        "somethingElse": true
    })");
    EXPECT_FALSE(update.enableStreamingMode || update.enableVoiceActivityDetection || update.vadThreshold
        || update.whisperTemperature || update.whisperBeamSize || update.whisperBestOf || update.whisperEntropyThreshold
        || update.whisperLogProbThreshold || update.enableDebugLogging);
    EXPECT_EQ(update.whisperNoFallback, true);
    EXPECT_EQ(decoded(R"({"whisperBeamSize": 4294967296})").whisperBeamSize, std::nullopt);
    EXPECT_EQ(decoded(R"({"whisperTemperature": 0.1})").whisperTemperature, QString("0.1"));
}

TEST_F(SettingsFileTest, OutOfRangeValuesAreAssignedAndReportedButNeverStored)
{
    AppConfig::setWhisperBeamSize(5);
    AppConfig::setWhisperTemperature(0.0f);
    AppConfig::setWhisperEntropyThreshold(2.4f);
    writeFile(pathOf("wild.json"), R"({
        "vadThreshold": 1.5,
        "whisperTemperature": 2,
        "whisperBeamSize": 20,
        "whisperBestOf": 0,
        "whisperEntropyThreshold": -1
    })");
    AdvancedSettingsViewModel model;
    ASSERT_FALSE(model.importSettingsFrom(pathOf("wild.json")).has_value());
    EXPECT_EQ(model.whisperBeamSize(), "20");
    EXPECT_EQ(model.whisperTemperature(), "2.0");
    EXPECT_EQ(model.vadThreshold(), 1.5);
    ASSERT_TRUE(pumpUntil([&] {
        return model.beamSizeError() && model.bestOfError() && model.temperatureError()
            && model.entropyThresholdError();
    }));
    EXPECT_EQ(*model.beamSizeError(), "Must be between 1 and 10");
    EXPECT_EQ(*model.bestOfError(), "Must be between 1 and 10");
    EXPECT_EQ(*model.temperatureError(), "Must be between 0.0 and 1.0");
    EXPECT_EQ(*model.entropyThresholdError(), "Must be non-negative");
    // What a transcription pass reads keeps the last valid values.
    EXPECT_EQ(AppConfig::whisperBeamSize(), 5);
    EXPECT_EQ(AppConfig::whisperBestOf(), 5);
    EXPECT_EQ(AppConfig::whisperTemperature(), 0.0f);
    EXPECT_EQ(AppConfig::whisperEntropyThreshold(), 2.4f);
}

TEST_F(SettingsFileTest, ImportOfOneMemberChangesOnlyThatSetting)
{
    writeFile(pathOf("one.json"), R"({"whisperNoFallback": true})");
    AdvancedSettingsViewModel model;
    ASSERT_FALSE(model.importSettingsFrom(pathOf("one.json")).has_value());
    AdvancedSettings expected;
    expected.whisperNoFallback = true;
    EXPECT_EQ(model.settings(), expected);
    EXPECT_TRUE(AppConfig::whisperNoFallback());
}

TEST_F(SettingsFileTest, BadFilesChangeNothingAndSaySo)
{
    AdvancedSettingsViewModel model;
    writeFile(pathOf("array.json"), "[1, 2, 3]");
    EXPECT_FALSE(model.importSettingsFrom(pathOf("array.json")).has_value());

    writeFile(pathOf("broken.json"), R"({"whisperNoFallback": true, "enableBetaFeatures": tru)");
    const std::optional<QString> broken = model.importSettingsFrom(pathOf("broken.json"));
    ASSERT_TRUE(broken.has_value());
    EXPECT_TRUE(broken->startsWith("The file is not a settings file")) << broken->toStdString();

    const std::optional<QString> missing = model.importSettingsFrom(pathOf("missing.json"));
    ASSERT_TRUE(missing.has_value());
    EXPECT_TRUE(missing->contains("missing.json"));
    EXPECT_EQ(model.settings(), AdvancedSettings());
    EXPECT_FALSE(AppConfig::whisperNoFallback());
}

TEST_F(SettingsFileTest, ExportReplacesAFileWholeAndAFailedOneLeavesNoTrace)
{
    writeFile(pathOf("settings.json"), QByteArray(4096, 'x'));
    AdvancedSettingsViewModel model;
    ASSERT_FALSE(model.exportSettingsTo(pathOf("settings.json")).has_value());
    EXPECT_TRUE(QJsonDocument::fromJson(readFile(pathOf("settings.json"))).isObject());
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"settings.json"});

    const std::optional<QString> failed = model.exportSettingsTo(pathOf("no/such/folder/settings.json"));
    ASSERT_TRUE(failed.has_value());
    EXPECT_TRUE(failed->startsWith("Could not write"));
}

TEST_F(SettingsFileTest, ExportAndImportThroughTheFileChooser)
{
    AdvancedSettingsViewModel model;
    model.setEnableDebugLogging(true);
    std::optional<std::optional<QString>> exported;
    model.exportSettings([&](const std::optional<QString>& error) { exported = error; });
    model.setEnableDebugLogging(false); // after the chooser opened: not in the file
    QFileDialog* saver = openDialog();
    ASSERT_NE(saver, nullptr);
    EXPECT_EQ(saver->acceptMode(), QFileDialog::AcceptSave);
    choose(saver, pathOf("chosen.json"));
    ASSERT_TRUE(pumpUntil([&] { return exported.has_value(); }));
    EXPECT_FALSE(exported->has_value());
    EXPECT_EQ(QJsonDocument::fromJson(readFile(pathOf("chosen.json"))).object().value("enableDebugLogging"), true);

    std::optional<std::optional<QString>> imported;
    model.importSettings([&](const std::optional<QString>& error) { imported = error; });
    QFileDialog* opener = openDialog();
    ASSERT_NE(opener, nullptr);
    choose(opener, pathOf("chosen.json"));
    ASSERT_TRUE(pumpUntil([&] { return imported.has_value(); }));
    EXPECT_FALSE(imported->has_value());
    EXPECT_TRUE(model.enableDebugLogging());

    // Cancelling writes and changes nothing.
    std::optional<std::optional<QString>> cancelled;
    model.exportSettings([&](const std::optional<QString>& error) { cancelled = error; });
    QFileDialog* again = openDialog();
    ASSERT_NE(again, nullptr);
    again->reject();
    ASSERT_TRUE(pumpUntil([&] { return cancelled.has_value(); }));
    EXPECT_FALSE(cancelled->has_value());
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList{"chosen.json"});
}
