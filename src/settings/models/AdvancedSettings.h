#pragma once

#include <QString>

#include <optional>

// The eleven advanced settings as the form holds them: the switches and the
// threshold as values, the five decoding parameters as typed texts.
struct AdvancedSettings {
    bool enableStreamingMode = false;
    bool enableVoiceActivityDetection = true;
    double vadThreshold = 0.5;
    QString whisperTemperature = QStringLiteral("0.0");
    QString whisperBeamSize = QStringLiteral("5");
    QString whisperBestOf = QStringLiteral("5");
    QString whisperEntropyThreshold = QStringLiteral("2.4");
    QString whisperLogProbThreshold = QStringLiteral("-1.0");
    bool whisperNoFallback = false;
    bool enableDebugLogging = false;
    bool enableBetaFeatures = false;

    bool operator==(const AdvancedSettings&) const = default;
};

// Some of the settings: what an imported file gives.
struct AdvancedSettingsUpdate {
    std::optional<bool> enableStreamingMode;
    std::optional<bool> enableVoiceActivityDetection;
    std::optional<double> vadThreshold;
    std::optional<QString> whisperTemperature;
    std::optional<QString> whisperBeamSize;
    std::optional<QString> whisperBestOf;
    std::optional<QString> whisperEntropyThreshold;
    std::optional<QString> whisperLogProbThreshold;
    std::optional<bool> whisperNoFallback;
    std::optional<bool> enableDebugLogging;
    std::optional<bool> enableBetaFeatures;
};
