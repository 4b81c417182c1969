#pragma once

#include <QPointF>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

// The application's named settings over the user defaults store, and the
// fixed constants of text insertion. Nothing is cached: every read asks the
// store and every write goes to it at once.
namespace AppConfig {

bool enableStreamingMode();
void setEnableStreamingMode(bool value);
bool enableRecordingSaving();
void setEnableRecordingSaving(bool value);
bool showInFinderAfterSaving();
void setShowInFinderAfterSaving(bool value);
QStringList whisperDictionaryWords();
void setWhisperDictionaryWords(const QStringList& value);
int32_t whisperBestOf();
void setWhisperBestOf(int32_t value);
int32_t whisperBeamSize();
void setWhisperBeamSize(int32_t value);
float whisperTemperature();
void setWhisperTemperature(float value);
bool whisperNoFallback();
void setWhisperNoFallback(bool value);
float whisperEntropyThreshold();
void setWhisperEntropyThreshold(float value);
float whisperLogProbThreshold();
void setWhisperLogProbThreshold(float value);
bool launchAtLogin();
void setLaunchAtLogin(bool value);
bool showDockIcon();
void setShowDockIcon(bool value);
bool enableSoundEffects();
void setEnableSoundEffects(bool value);
bool insertAfterRecording();
void setInsertAfterRecording(bool value);
bool copyToClipboard();
void setCopyToClipboard(bool value);
bool enableVoiceActivityDetection();
void setEnableVoiceActivityDetection(bool value);
QString vadSegmentationMode();
void setVadSegmentationMode(const QString& value);
double vadThreshold();
void setVadThreshold(double value);
bool enableDebugLogging();
void setEnableDebugLogging(bool value);
bool enableBetaFeatures();
void setEnableBetaFeatures(bool value);
std::optional<QPointF> popoverWindowPosition();
void setPopoverWindowPosition(const std::optional<QPointF>& value);

// Forgets the six decoding settings so they read their defaults again; the
// dictionary words stay.
void resetWhisperSettings();

inline constexpr int maxTextLength = 10000;
inline constexpr double clipboardReadyDelay = 0.01;
inline constexpr double clipboardRestoreDelay = 0.05;
inline constexpr uint16_t vkCommand = 55;
inline constexpr uint16_t vkV = 9;
inline constexpr uint16_t vkEscape = 53;
inline constexpr uint16_t vkKeyW = 13;

} // namespace AppConfig

namespace ModelURLs {
// The model-hosting server; TALLOWIND_MODEL_BASE_URL replaces it (mirrors, tests).
inline const QString baseURL = QStringLiteral("https://models.tallowind.org");
inline const QString modelsPath = QStringLiteral("/orvandel/whisper.cpp/resolve/main/");
// The override when set, else baseURL; without a trailing slash.
QString effectiveBaseURL();
} // namespace ModelURLs
