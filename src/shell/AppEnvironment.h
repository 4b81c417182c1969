#pragma once

#include "core/config/TallowindError.h"
#include "core/speech/WhisperModel.h"

#include <QObject>
#include <QString>

#include <exception>
#include <functional>
#include <optional>

class ErrorPresentationCoordinator;
class ModelManager;
class RecordingManager;
class WindowManager;
class QWidget;

// One hub over the model store, the recording store, the window manager and
// an error presentation coordinator of its own. It mirrors the recording
// state and the current alert as its own properties and offers one entry
// point per user-level operation; every failure ends at the coordinator,
// none reaches the caller. Main thread only.
class AppEnvironment : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isRecording READ isRecording WRITE setIsRecording NOTIFY isRecordingChanged)
    Q_PROPERTY(QString currentTranscription READ currentTranscription WRITE setCurrentTranscription NOTIFY
            currentTranscriptionChanged)
    Q_PROPERTY(float audioLevel READ audioLevel WRITE setAudioLevel NOTIFY audioLevelChanged)
    Q_PROPERTY(
        std::optional<TallowindError> currentError READ currentError WRITE setCurrentError NOTIFY currentErrorChanged)

public:
    // The copies start empty; the stores' values arrive once the main queue
    // has run the binding set-up.
    explicit AppEnvironment(ModelManager& modelManager, RecordingManager& recordingManager, QObject* parent = nullptr);
    AppEnvironment();
    ~AppEnvironment() override;

    // Made on first use, on the main thread, with the process-wide stores.
    static AppEnvironment& shared();

    bool isRecording() const { return recording; }
    void setIsRecording(bool value);
    const QString& currentTranscription() const { return transcription; }
    void setCurrentTranscription(const QString& value);
    float audioLevel() const { return level; }
    void setAudioLevel(float value);
    const std::optional<TallowindError>& currentError() const { return error; }
    void setCurrentError(const std::optional<TallowindError>& value);

    ModelManager& modelManager() const { return models; }
    RecordingManager& recordingManager() const { return recordings; }
    WindowManager& windowManager() const { return windows; }
    ErrorPresentationCoordinator& errorCoordinator() const { return *coordinator; }

    // Each runs `done` (when given) once its work, including the error's
    // presentation, has finished; switchModel() presents its error later.
    using Done = std::function<void()>;
    void startRecording(Done done = {});
    void stopRecording(Done done = {});
    // Follows this hub's copy of the recording flag.
    void toggleRecording(Done done = {});
    void switchModel(WhisperModel model, Done done = {});
    void downloadModel(WhisperModel model, Done done = {});

    // Presented on the next turn of the main queue: an application error as
    // it is, any other error as a generic one with its text.
    void handleError(const std::exception& error);

    // Each schedules one window-manager call.
    void openSettings();
    void openPopover();
    void showRecordingProgress();
    void hideRecordingProgress();

signals:
    void isRecordingChanged(bool isRecording);
    void currentTranscriptionChanged(const QString& currentTranscription);
    void audioLevelChanged(float audioLevel);
    void currentErrorChanged(const std::optional<TallowindError>& currentError);

private:
    void setupBindings();
    void present(const TallowindError& failure);

    bool recording = false;
    QString transcription;
    float level = 0.0f;
    std::optional<TallowindError> error;

    ModelManager& models;
    RecordingManager& recordings;
    WindowManager& windows;
    ErrorPresentationCoordinator* coordinator;
};

// Makes the hub the one the views below `view` find; returns the view.
QWidget* withAppEnvironment(QWidget* view, AppEnvironment& environment);
// The hub injected at `view` or its nearest ancestor, else the shared one.
AppEnvironment& appEnvironment(const QWidget* view);
