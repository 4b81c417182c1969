#include "settings/SettingsViewModel.h"

#include "base/Published.h"
#include "core/config/AppConfig.h"
#include "platform/Workspace.h"

#include <algorithm>

SettingsViewModel::RecordingInfo::RecordingInfo(
    const QDateTime& when, const QString& text, const QString& modelName, const QString& audioPath)
    : id(QUuid::createUuid()), date(when), transcription(text), model(modelName), filePath(audioPath)
{
}

void SettingsViewModel::setDictionaryWords(const QStringList& value)
{
    publish(this, words, value, &SettingsViewModel::dictionaryWordsChanged);
}

void SettingsViewModel::setRecordings(const QList<RecordingInfo>& value)
{
    publish(this, recordingRows, value, &SettingsViewModel::recordingsChanged);
}

void SettingsViewModel::setEnableRecordingSaving(bool value)
{
    publish(this, recordingSaving, value, &SettingsViewModel::enableRecordingSavingChanged);
}

void SettingsViewModel::setShowInFinderAfterSaving(bool value)
{
    publish(this, showAfterSaving, value, &SettingsViewModel::showInFinderAfterSavingChanged);
}

void SettingsViewModel::setEnableStreamingMode(bool value)
{
    publish(this, streamingMode, value, &SettingsViewModel::enableStreamingModeChanged);
}

void SettingsViewModel::setEnableVoiceActivityDetection(bool value)
{
    publish(this, voiceActivityDetection, value, &SettingsViewModel::enableVoiceActivityDetectionChanged);
}

void SettingsViewModel::setWorkspace(std::shared_ptr<Workspace> value)
{
    workspace = std::move(value);
}

void SettingsViewModel::setShortcutCaptureHost(ShortcutCaptureHost* host)
{
    captureHost = host;
}

// Plain code-unit order, case-sensitive: "Zeta" sorts before "alpha".
static void sortPlainly(QStringList& list)
{
    std::sort(list.begin(), list.end(), [](const QString& a, const QString& b) { return a < b; });
}

void SettingsViewModel::loadDictionary()
{
    QStringList stored = AppConfig::whisperDictionaryWords();
    sortPlainly(stored);
    setDictionaryWords(stored);
}

void SettingsViewModel::addDictionaryWord(const QString& word)
{
    const QString trimmed = word.trimmed();
    if (trimmed.isEmpty() || words.contains(trimmed))
        return;
    QStringList updated = words;
    updated.append(trimmed);
    sortPlainly(updated);
    setDictionaryWords(updated);
    AppConfig::setWhisperDictionaryWords(words);
}

void SettingsViewModel::removeDictionaryWord(const QString& word)
{
    QStringList updated = words;
    updated.removeAll(word);
    setDictionaryWords(updated);
    AppConfig::setWhisperDictionaryWords(words);
}

void SettingsViewModel::updateEnableRecordingSaving(bool value)
{
    setEnableRecordingSaving(value);
    AppConfig::setEnableRecordingSaving(value);
}

void SettingsViewModel::updateShowInFinderAfterSaving(bool value)
{
    setShowInFinderAfterSaving(value);
    AppConfig::setShowInFinderAfterSaving(value);
}

void SettingsViewModel::updateEnableStreamingMode(bool value)
{
    setEnableStreamingMode(value);
    AppConfig::setEnableStreamingMode(value);
}

void SettingsViewModel::updateEnableVoiceActivityDetection(bool value)
{
    setEnableVoiceActivityDetection(value);
    AppConfig::setEnableVoiceActivityDetection(value);
}

void SettingsViewModel::saveAdvancedSettings() { }

void SettingsViewModel::resetToDefaults()
{
    setEnableStreamingMode(false);
    setEnableVoiceActivityDetection(true);
    AppConfig::setEnableStreamingMode(false);
    AppConfig::setEnableVoiceActivityDetection(true);
}
