#pragma once

#include "settings/models/AdvancedSettings.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <optional>

// Editable copies of the advanced settings. Loading writes nothing back;
// after that, every assignment reaches the settings store: the switches and
// the threshold at once, each decoding text half a second after its last
// change and only when it is valid, with a message per text when it is not.
// Main thread only.
class AdvancedSettingsViewModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool enableStreamingMode READ enableStreamingMode WRITE setEnableStreamingMode NOTIFY
            enableStreamingModeChanged)
    Q_PROPERTY(bool enableVoiceActivityDetection READ enableVoiceActivityDetection WRITE setEnableVoiceActivityDetection
            NOTIFY enableVoiceActivityDetectionChanged)
    Q_PROPERTY(double vadThreshold READ vadThreshold WRITE setVadThreshold NOTIFY vadThresholdChanged)
    Q_PROPERTY(
        QString whisperTemperature READ whisperTemperature WRITE setWhisperTemperature NOTIFY whisperTemperatureChanged)
    Q_PROPERTY(QString whisperBeamSize READ whisperBeamSize WRITE setWhisperBeamSize NOTIFY whisperBeamSizeChanged)
    Q_PROPERTY(QString whisperBestOf READ whisperBestOf WRITE setWhisperBestOf NOTIFY whisperBestOfChanged)
    Q_PROPERTY(QString whisperEntropyThreshold READ whisperEntropyThreshold WRITE setWhisperEntropyThreshold NOTIFY
            whisperEntropyThresholdChanged)
    Q_PROPERTY(QString whisperLogProbThreshold READ whisperLogProbThreshold WRITE setWhisperLogProbThreshold NOTIFY
            whisperLogProbThresholdChanged)
    Q_PROPERTY(bool whisperNoFallback READ whisperNoFallback WRITE setWhisperNoFallback NOTIFY whisperNoFallbackChanged)
    Q_PROPERTY(
        bool enableDebugLogging READ enableDebugLogging WRITE setEnableDebugLogging NOTIFY enableDebugLoggingChanged)
    Q_PROPERTY(
        bool enableBetaFeatures READ enableBetaFeatures WRITE setEnableBetaFeatures NOTIFY enableBetaFeaturesChanged)
    Q_PROPERTY(std::optional<QString> temperatureError READ temperatureError NOTIFY temperatureErrorChanged)
    Q_PROPERTY(std::optional<QString> beamSizeError READ beamSizeError NOTIFY beamSizeErrorChanged)
    Q_PROPERTY(std::optional<QString> bestOfError READ bestOfError NOTIFY bestOfErrorChanged)
    Q_PROPERTY(
        std::optional<QString> entropyThresholdError READ entropyThresholdError NOTIFY entropyThresholdErrorChanged)
    Q_PROPERTY(
        std::optional<QString> logProbThresholdError READ logProbThresholdError NOTIFY logProbThresholdErrorChanged)

public:
    explicit AdvancedSettingsViewModel(QObject* parent = nullptr);
    ~AdvancedSettingsViewModel() override;

    // The pause after the last change of a text before it is checked and saved.
    static constexpr int saveDelayMs = 500;

    bool enableStreamingMode() const { return values.enableStreamingMode; }
    void setEnableStreamingMode(bool value);
    bool enableVoiceActivityDetection() const { return values.enableVoiceActivityDetection; }
    void setEnableVoiceActivityDetection(bool value);
    double vadThreshold() const { return values.vadThreshold; }
    // A value that is not a finite number is refused.
    void setVadThreshold(double value);
    const QString& whisperTemperature() const { return values.whisperTemperature; }
    void setWhisperTemperature(const QString& value);
    const QString& whisperBeamSize() const { return values.whisperBeamSize; }
    void setWhisperBeamSize(const QString& value);
    const QString& whisperBestOf() const { return values.whisperBestOf; }
    void setWhisperBestOf(const QString& value);
    const QString& whisperEntropyThreshold() const { return values.whisperEntropyThreshold; }
    void setWhisperEntropyThreshold(const QString& value);
    const QString& whisperLogProbThreshold() const { return values.whisperLogProbThreshold; }
    void setWhisperLogProbThreshold(const QString& value);
    bool whisperNoFallback() const { return values.whisperNoFallback; }
    void setWhisperNoFallback(bool value);
    bool enableDebugLogging() const { return values.enableDebugLogging; }
    void setEnableDebugLogging(bool value);
    bool enableBetaFeatures() const { return values.enableBetaFeatures; }
    void setEnableBetaFeatures(bool value);

    const std::optional<QString>& temperatureError() const { return errors.temperature; }
    const std::optional<QString>& beamSizeError() const { return errors.beamSize; }
    const std::optional<QString>& bestOfError() const { return errors.bestOf; }
    const std::optional<QString>& entropyThresholdError() const { return errors.entropyThreshold; }
    const std::optional<QString>& logProbThresholdError() const { return errors.logProbThreshold; }

    const AdvancedSettings& settings() const { return values; }

    // Every setting back to its default (the beam size to "5"); the
    // bindings store them.
    void resetToDefaults();
    // Assigns the settings that the update holds, each through its setter.
    void apply(const AdvancedSettingsUpdate& update);

    // Export and import through a file chooser; the completion receives the
    // error text, or nothing on success or when the user cancels.
    using Completion = std::function<void(const std::optional<QString>& error)>;
    void exportSettings(Completion completion = {});
    void importSettings(Completion completion = {});
    // The same without a chooser. A file that cannot be read or is not JSON
    // changes nothing.
    std::optional<QString> exportSettingsTo(const QString& path) const;
    std::optional<QString> importSettingsFrom(const QString& path);

signals:
    void enableStreamingModeChanged(bool value);
    void enableVoiceActivityDetectionChanged(bool value);
    void vadThresholdChanged(double value);
    void whisperTemperatureChanged(const QString& value);
    void whisperBeamSizeChanged(const QString& value);
    void whisperBestOfChanged(const QString& value);
    void whisperEntropyThresholdChanged(const QString& value);
    void whisperLogProbThresholdChanged(const QString& value);
    void whisperNoFallbackChanged(bool value);
    void enableDebugLoggingChanged(bool value);
    void enableBetaFeaturesChanged(bool value);
    void temperatureErrorChanged(const std::optional<QString>& message);
    void beamSizeErrorChanged(const std::optional<QString>& message);
    void bestOfErrorChanged(const std::optional<QString>& message);
    void entropyThresholdErrorChanged(const std::optional<QString>& message);
    void logProbThresholdErrorChanged(const std::optional<QString>& message);

private:
    struct ValidationErrors {
        std::optional<QString> temperature;
        std::optional<QString> beamSize;
        std::optional<QString> bestOf;
        std::optional<QString> entropyThreshold;
        std::optional<QString> logProbThreshold;
    };

    void loadSettings();
    void setupBindings();
    void validateAndSaveTemperature(const QString& text);
    void validateAndSaveBeamSize(const QString& text);
    void validateAndSaveBestOf(const QString& text);
    void validateAndSaveEntropyThreshold(const QString& text);
    void validateAndSaveLogProbThreshold(const QString& text);
    void setError(std::optional<QString> ValidationErrors::*field,
        void (AdvancedSettingsViewModel::*changed)(const std::optional<QString>&),
        const std::optional<QString>& message);

    AdvancedSettings values;
    ValidationErrors errors;
    // Off while loading, so the load writes nothing back.
    bool bound = false;
    QTimer temperatureSave;
    QTimer beamSizeSave;
    QTimer bestOfSave;
    QTimer entropyThresholdSave;
    QTimer logProbThresholdSave;
};
