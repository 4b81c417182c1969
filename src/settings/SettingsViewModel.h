#pragma once

#include "core/config/AppConfig.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <memory>

class ShortcutCaptureHost;
class Workspace;

// The one model behind every tab of the Settings window. Used on the main
// thread only.
class SettingsViewModel : public QObject {
    Q_OBJECT

    // Dictionary, recordings, switches and reset
public:
    // One row of the Recordings tab. The id is new with every listing.
    struct RecordingInfo {
        RecordingInfo() = default;
        RecordingInfo(const QDateTime& date, const QString& transcription, const QString& model,
                      const QString& filePath);

        QUuid id;
        QDateTime date;
        QString transcription;
        QString model;
        QString filePath;  // the audio file
        // The name under which the recordings index lists the file; empty
        // for a file listed only because a text file lies beside it.
        QString indexedName;
    };

private:
    Q_PROPERTY(QStringList dictionaryWords READ dictionaryWords WRITE setDictionaryWords NOTIFY dictionaryWordsChanged)
    Q_PROPERTY(QList<SettingsViewModel::RecordingInfo> recordings READ recordings WRITE setRecordings NOTIFY
                   recordingsChanged)
    Q_PROPERTY(bool enableRecordingSaving READ enableRecordingSaving WRITE setEnableRecordingSaving NOTIFY
                   enableRecordingSavingChanged)
    Q_PROPERTY(bool showInFinderAfterSaving READ showInFinderAfterSaving WRITE setShowInFinderAfterSaving NOTIFY
                   showInFinderAfterSavingChanged)
    Q_PROPERTY(bool enableStreamingMode READ enableStreamingMode WRITE setEnableStreamingMode NOTIFY
                   enableStreamingModeChanged)
    Q_PROPERTY(bool enableVoiceActivityDetection READ enableVoiceActivityDetection WRITE
                   setEnableVoiceActivityDetection NOTIFY enableVoiceActivityDetectionChanged)

public:
    explicit SettingsViewModel(QObject* parent = nullptr);

    // Dictionary, recordings, switches and reset
    QStringList dictionaryWords() const { return words; }
    void setDictionaryWords(const QStringList& value);
    QList<RecordingInfo> recordings() const { return recordingRows; }
    void setRecordings(const QList<RecordingInfo>& value);
    bool enableRecordingSaving() const { return recordingSaving; }
    void setEnableRecordingSaving(bool value);
    bool showInFinderAfterSaving() const { return showAfterSaving; }
    void setShowInFinderAfterSaving(bool value);
    bool enableStreamingMode() const { return streamingMode; }
    void setEnableStreamingMode(bool value);
    bool enableVoiceActivityDetection() const { return voiceActivityDetection; }
    void setEnableVoiceActivityDetection(bool value);

    // Where files are revealed and folders opened; without one nothing is.
    void setWorkspace(std::shared_ptr<Workspace> workspace);
    // Told while a shortcut row captures keys; must outlive the tabs.
    void setShortcutCaptureHost(ShortcutCaptureHost* host);
    ShortcutCaptureHost* shortcutCaptureHost() const { return captureHost; }

    virtual void addDictionaryWord(const QString& word);
    virtual void removeDictionaryWord(const QString& word);
    virtual void openRecordingInFinder(const RecordingInfo& recording);
    // Creates the recordings folder when it does not exist yet, then opens it.
    virtual void openRecordingsFolder();
    virtual void deleteRecording(const RecordingInfo& recording);
    virtual void clearAllRecordings();
    virtual void updateEnableRecordingSaving(bool value);
    virtual void updateShowInFinderAfterSaving(bool value);
    virtual void updateEnableStreamingMode(bool value);
    virtual void updateEnableVoiceActivityDetection(bool value);
    virtual void saveAdvancedSettings();
    virtual void resetToDefaults();

    // Models and downloads
    virtual void loadInitialData();

signals:
    // Dictionary, recordings, switches and reset
    void dictionaryWordsChanged(const QStringList& dictionaryWords);
    void recordingsChanged(const QList<SettingsViewModel::RecordingInfo>& recordings);
    void enableRecordingSavingChanged(bool enableRecordingSaving);
    void showInFinderAfterSavingChanged(bool showInFinderAfterSaving);
    void enableStreamingModeChanged(bool enableStreamingMode);
    void enableVoiceActivityDetectionChanged(bool enableVoiceActivityDetection);

private:
    // Dictionary, recordings, switches and reset
    void loadDictionary();
    void loadRecordings();

    QStringList words;
    QList<RecordingInfo> recordingRows;
    // The switches are read from the settings store once, at construction;
    // later changes made elsewhere are not followed.
    bool recordingSaving = AppConfig::enableRecordingSaving();
    bool showAfterSaving = AppConfig::showInFinderAfterSaving();
    bool streamingMode = AppConfig::enableStreamingMode();
    bool voiceActivityDetection = AppConfig::enableVoiceActivityDetection();
    std::shared_ptr<Workspace> workspace;
    ShortcutCaptureHost* captureHost = nullptr;
};
