#include "settings/models/AdvancedSettingsViewModel.h"

#include "core/config/AppConfig.h"
#include "settings/models/AdvancedSettingsFile.h"
#include "settings/models/FileDialogs.h"
#include "settings/models/NumberText.h"

#include <QPointer>

#include <cmath>
#include <variant>

namespace {

const QString notANumber = QStringLiteral("Must be a valid number");
const QString notAnInteger = QStringLiteral("Must be a valid integer");
const QString jsonFilter = QStringLiteral("JSON files (*.json)");

} // namespace

AdvancedSettingsViewModel::AdvancedSettingsViewModel(QObject* parent) : QObject(parent)
{
    loadSettings();
    setupBindings();
}

AdvancedSettingsViewModel::~AdvancedSettingsViewModel() = default;

void AdvancedSettingsViewModel::loadSettings()
{
    setEnableStreamingMode(AppConfig::enableStreamingMode());
    setEnableVoiceActivityDetection(AppConfig::enableVoiceActivityDetection());
    setVadThreshold(AppConfig::vadThreshold());
    setWhisperTemperature(NumberText::fromFloat(AppConfig::whisperTemperature()));
    setWhisperBeamSize(NumberText::fromInt32(AppConfig::whisperBeamSize()));
    setWhisperBestOf(NumberText::fromInt32(AppConfig::whisperBestOf()));
    setWhisperEntropyThreshold(NumberText::fromFloat(AppConfig::whisperEntropyThreshold()));
    setWhisperLogProbThreshold(NumberText::fromFloat(AppConfig::whisperLogProbThreshold()));
    setWhisperNoFallback(AppConfig::whisperNoFallback());
    setEnableDebugLogging(AppConfig::enableDebugLogging());
    setEnableBetaFeatures(AppConfig::enableBetaFeatures());
}

void AdvancedSettingsViewModel::setupBindings()
{
    // Each text is checked once per pause in its changes, with its newest value.
    const auto debounce = [this](QTimer& timer, void (AdvancedSettingsViewModel::*validate)(const QString&),
                              const QString AdvancedSettings::*text) {
        timer.setSingleShot(true);
        timer.setInterval(saveDelayMs);
        connect(&timer, &QTimer::timeout, this, [this, validate, text] { (this->*validate)(values.*text); });
    };
    debounce(
        temperatureSave, &AdvancedSettingsViewModel::validateAndSaveTemperature, &AdvancedSettings::whisperTemperature);
    debounce(beamSizeSave, &AdvancedSettingsViewModel::validateAndSaveBeamSize, &AdvancedSettings::whisperBeamSize);
    debounce(bestOfSave, &AdvancedSettingsViewModel::validateAndSaveBestOf, &AdvancedSettings::whisperBestOf);
    debounce(entropyThresholdSave, &AdvancedSettingsViewModel::validateAndSaveEntropyThreshold,
        &AdvancedSettings::whisperEntropyThreshold);
    debounce(logProbThresholdSave, &AdvancedSettingsViewModel::validateAndSaveLogProbThreshold,
        &AdvancedSettings::whisperLogProbThreshold);
    bound = true;
}

void AdvancedSettingsViewModel::setEnableStreamingMode(bool value)
{
    values.enableStreamingMode = value;
    emit enableStreamingModeChanged(value);
    if (bound)
        AppConfig::setEnableStreamingMode(value);
}

void AdvancedSettingsViewModel::setEnableVoiceActivityDetection(bool value)
{
    values.enableVoiceActivityDetection = value;
    emit enableVoiceActivityDetectionChanged(value);
    if (bound)
        AppConfig::setEnableVoiceActivityDetection(value);
}

void AdvancedSettingsViewModel::setVadThreshold(double value)
{
    if (!std::isfinite(value))
        return;
    values.vadThreshold = value;
    emit vadThresholdChanged(value);
    if (bound)
        AppConfig::setVadThreshold(value);
}

void AdvancedSettingsViewModel::setWhisperTemperature(const QString& value)
{
    values.whisperTemperature = value;
    emit whisperTemperatureChanged(value);
    if (bound)
        temperatureSave.start();
}

void AdvancedSettingsViewModel::setWhisperBeamSize(const QString& value)
{
    values.whisperBeamSize = value;
    emit whisperBeamSizeChanged(value);
    if (bound)
        beamSizeSave.start();
}

void AdvancedSettingsViewModel::setWhisperBestOf(const QString& value)
{
    values.whisperBestOf = value;
    emit whisperBestOfChanged(value);
    if (bound)
        bestOfSave.start();
}

void AdvancedSettingsViewModel::setWhisperEntropyThreshold(const QString& value)
{
    values.whisperEntropyThreshold = value;
    emit whisperEntropyThresholdChanged(value);
    if (bound)
        entropyThresholdSave.start();
}

void AdvancedSettingsViewModel::setWhisperLogProbThreshold(const QString& value)
{
    values.whisperLogProbThreshold = value;
    emit whisperLogProbThresholdChanged(value);
    if (bound)
        logProbThresholdSave.start();
}

void AdvancedSettingsViewModel::setWhisperNoFallback(bool value)
{
    values.whisperNoFallback = value;
    emit whisperNoFallbackChanged(value);
    if (bound)
        AppConfig::setWhisperNoFallback(value);
}

void AdvancedSettingsViewModel::setEnableDebugLogging(bool value)
{
    values.enableDebugLogging = value;
    emit enableDebugLoggingChanged(value);
    if (bound)
        AppConfig::setEnableDebugLogging(value);
}

void AdvancedSettingsViewModel::setEnableBetaFeatures(bool value)
{
    values.enableBetaFeatures = value;
    emit enableBetaFeaturesChanged(value);
    if (bound)
        AppConfig::setEnableBetaFeatures(value);
}

void AdvancedSettingsViewModel::setError(std::optional<QString> ValidationErrors::*field,
    void (AdvancedSettingsViewModel::*changed)(const std::optional<QString>&), const std::optional<QString>& message)
{
    errors.*field = message;
    emit(this->*changed)(message);
}

void AdvancedSettingsViewModel::validateAndSaveTemperature(const QString& text)
{
    setError(&ValidationErrors::temperature, &AdvancedSettingsViewModel::temperatureErrorChanged, std::nullopt);
    const std::optional<float> value = NumberText::parseFloat(text);
    if (!value)
        setError(&ValidationErrors::temperature, &AdvancedSettingsViewModel::temperatureErrorChanged, notANumber);
    else if (!(*value >= 0.0f && *value <= 1.0f))
        setError(&ValidationErrors::temperature, &AdvancedSettingsViewModel::temperatureErrorChanged,
            QStringLiteral("Must be between 0.0 and 1.0"));
    else
        AppConfig::setWhisperTemperature(*value);
}

void AdvancedSettingsViewModel::validateAndSaveBeamSize(const QString& text)
{
    setError(&ValidationErrors::beamSize, &AdvancedSettingsViewModel::beamSizeErrorChanged, std::nullopt);
    const std::optional<int32_t> value = NumberText::parseInt32(text);
    if (!value)
        setError(&ValidationErrors::beamSize, &AdvancedSettingsViewModel::beamSizeErrorChanged, notAnInteger);
    else if (*value < 1 || *value > 10)
        setError(&ValidationErrors::beamSize, &AdvancedSettingsViewModel::beamSizeErrorChanged,
            QStringLiteral("Must be between 1 and 10"));
    else
        AppConfig::setWhisperBeamSize(*value);
}

void AdvancedSettingsViewModel::validateAndSaveBestOf(const QString& text)
{
    setError(&ValidationErrors::bestOf, &AdvancedSettingsViewModel::bestOfErrorChanged, std::nullopt);
    const std::optional<int32_t> value = NumberText::parseInt32(text);
    if (!value)
        setError(&ValidationErrors::bestOf, &AdvancedSettingsViewModel::bestOfErrorChanged, notAnInteger);
    else if (*value < 1 || *value > 10)
        setError(&ValidationErrors::bestOf, &AdvancedSettingsViewModel::bestOfErrorChanged,
            QStringLiteral("Must be between 1 and 10"));
    else
        AppConfig::setWhisperBestOf(*value);
}

void AdvancedSettingsViewModel::validateAndSaveEntropyThreshold(const QString& text)
{
    setError(
        &ValidationErrors::entropyThreshold, &AdvancedSettingsViewModel::entropyThresholdErrorChanged, std::nullopt);
    const std::optional<float> value = NumberText::parseFloat(text);
    if (!value)
        setError(
            &ValidationErrors::entropyThreshold, &AdvancedSettingsViewModel::entropyThresholdErrorChanged, notANumber);
    else if (!(*value >= 0.0f))
        setError(&ValidationErrors::entropyThreshold, &AdvancedSettingsViewModel::entropyThresholdErrorChanged,
            QStringLiteral("Must be non-negative"));
    else
        AppConfig::setWhisperEntropyThreshold(*value);
}

void AdvancedSettingsViewModel::validateAndSaveLogProbThreshold(const QString& text)
{
    setError(
        &ValidationErrors::logProbThreshold, &AdvancedSettingsViewModel::logProbThresholdErrorChanged, std::nullopt);
    const std::optional<float> value = NumberText::parseFloat(text);
    if (!value)
        setError(
            &ValidationErrors::logProbThreshold, &AdvancedSettingsViewModel::logProbThresholdErrorChanged, notANumber);
    else
        AppConfig::setWhisperLogProbThreshold(*value);
}

void AdvancedSettingsViewModel::resetToDefaults()
{
    const AdvancedSettings defaults;
    setEnableStreamingMode(defaults.enableStreamingMode);
    setEnableVoiceActivityDetection(defaults.enableVoiceActivityDetection);
    setVadThreshold(defaults.vadThreshold);
    setWhisperTemperature(defaults.whisperTemperature);
    setWhisperBeamSize(defaults.whisperBeamSize);
    setWhisperBestOf(defaults.whisperBestOf);
    setWhisperEntropyThreshold(defaults.whisperEntropyThreshold);
    setWhisperLogProbThreshold(defaults.whisperLogProbThreshold);
    setWhisperNoFallback(defaults.whisperNoFallback);
    setEnableDebugLogging(defaults.enableDebugLogging);
    setEnableBetaFeatures(defaults.enableBetaFeatures);
}

void AdvancedSettingsViewModel::apply(const AdvancedSettingsUpdate& update)
{
    if (update.enableStreamingMode)
        setEnableStreamingMode(*update.enableStreamingMode);
    if (update.enableVoiceActivityDetection)
        setEnableVoiceActivityDetection(*update.enableVoiceActivityDetection);
    if (update.vadThreshold)
        setVadThreshold(*update.vadThreshold);
    if (update.whisperTemperature)
        setWhisperTemperature(*update.whisperTemperature);
    if (update.whisperBeamSize)
        setWhisperBeamSize(*update.whisperBeamSize);
    if (update.whisperBestOf)
        setWhisperBestOf(*update.whisperBestOf);
    if (update.whisperEntropyThreshold)
        setWhisperEntropyThreshold(*update.whisperEntropyThreshold);
    if (update.whisperLogProbThreshold)
        setWhisperLogProbThreshold(*update.whisperLogProbThreshold);
    if (update.whisperNoFallback)
        setWhisperNoFallback(*update.whisperNoFallback);
    if (update.enableDebugLogging)
        setEnableDebugLogging(*update.enableDebugLogging);
    if (update.enableBetaFeatures)
        setEnableBetaFeatures(*update.enableBetaFeatures);
}

std::optional<QString> AdvancedSettingsViewModel::exportSettingsTo(const QString& path) const
{
    return AdvancedSettingsFile::write(path, AdvancedSettingsFile::encode(values));
}

std::optional<QString> AdvancedSettingsViewModel::importSettingsFrom(const QString& path)
{
    const std::variant<QByteArray, QString> bytes = AdvancedSettingsFile::read(path);
    if (const auto* error = std::get_if<QString>(&bytes))
        return *error;
    const std::variant<AdvancedSettingsUpdate, QString> decoded =
        AdvancedSettingsFile::decode(std::get<QByteArray>(bytes));
    if (const auto* error = std::get_if<QString>(&decoded))
        return *error;
    apply(std::get<AdvancedSettingsUpdate>(decoded));
    return std::nullopt;
}

void AdvancedSettingsViewModel::exportSettings(Completion completion)
{
    // The file holds the values of this moment, not of when the user confirms.
    const QByteArray bytes = AdvancedSettingsFile::encode(values);
    FileDialogs::chooseSaveFile(
        AdvancedSettingsFile::defaultFileName, jsonFilter, [bytes, completion](const std::optional<QString>& path) {
            const std::optional<QString> error = path ? AdvancedSettingsFile::write(*path, bytes) : std::nullopt;
            if (completion)
                completion(error);
        });
}

void AdvancedSettingsViewModel::importSettings(Completion completion)
{
    QPointer<AdvancedSettingsViewModel> self(this);
    FileDialogs::chooseOpenFile(jsonFilter, [self, completion](const std::optional<QString>& path) {
        std::optional<QString> error;
        if (path && self)
            error = self->importSettingsFrom(*path);
        if (completion)
            completion(error);
    });
}
