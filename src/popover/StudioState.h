#pragma once

#include "base/NotificationCenter.h"

#include <QObject>
#include <QString>

#include <functional>

class PopoverViewModel;
class QTimer;

// The studio's state and its own operations: recording through the
// controller in the studio mode with a 0.1 s elapsed-time counter, the
// transcript that each "TranscriptionUpdated" replaces, copy and clear.
// Main thread only.
class StudioState : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString transcribedText READ transcribedText WRITE setTranscribedText NOTIFY transcribedTextChanged)
    Q_PROPERTY(bool isRecording READ isRecording NOTIFY isRecordingChanged)
    Q_PROPERTY(double recordingTime READ recordingTime NOTIFY recordingTimeChanged)
    Q_PROPERTY(bool showCopiedAlert READ showCopiedAlert NOTIFY showCopiedAlertChanged)

public:
    // Runs work once after a delay in seconds; tests pass a manual clock.
    using Scheduler = std::function<void(double seconds, std::function<void()> work)>;

    static constexpr int timerIntervalMs = 100;
    static constexpr double timerStep = 0.1;
    static constexpr double copiedAlertSeconds = 1.5;

    explicit StudioState(PopoverViewModel& viewModel, Scheduler scheduler = {}, QObject* parent = nullptr);

    QString transcribedText() const { return text; }
    // Every edit goes through here; a new text expands a collapsed popover
    // unless a studio recording runs.
    void setTranscribedText(const QString& value);
    bool isRecording() const { return recording; }
    double recordingTime() const { return elapsed; }
    bool showCopiedAlert() const { return copiedAlert; }

    void toggleRecording();
    // Starts nothing while a shortcut's dictation runs.
    void startRecording();
    // Resets the studio's recording state. The controller is asked to stop
    // only while the studio's own recording runs: a shortcut's recording is
    // never stopped from here, and nothing blocks when nothing records.
    void stopRecording();
    // Replaces the clipboard with the transcript; the check mark shows for
    // 1.5 s after the first of quick copies.
    void copyText();
    void clearText();
    // The studio leaves the screen.
    void viewDidDisappear();

    // "mm:ss" from whole seconds, truncated; minutes are not capped.
    static QString formatTime(double seconds);

    // One tick of the elapsed-time counter (the timer's work).
    void timerDidFire();
    bool isTimerRunning() const;
    bool isObservingTranscripts() const { return transcriptObserverRegistered; }

signals:
    void transcribedTextChanged(const QString& transcribedText);
    void isRecordingChanged(bool isRecording);
    void recordingTimeChanged(double recordingTime);
    void showCopiedAlertChanged(bool showCopiedAlert);

private:
    // The controller's recording ended without a stop (a failed start or
    // capture): back to idle without asking the controller for anything.
    void recordingDidFail();
    void setIsRecording(bool value);
    void setRecordingTime(double value);
    void setShowCopiedAlert(bool value);
    void transcriptDidChange(const QString& newText);
    void observeTranscripts();

    PopoverViewModel& viewModel;
    Scheduler schedule;
    QString text;
    bool recording = false;
    double elapsed = 0.0;
    bool copiedAlert = false;
    QTimer* timer;
    bool transcriptObserverRegistered = false;
    NotificationObservation transcriptObserver;
};
