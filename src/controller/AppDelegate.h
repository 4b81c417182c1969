#pragma once

#include "base/Dispatch.h"
#include "base/LifetimeGuard.h"
#include "base/NotificationCenter.h"
#include "core/input/TakenShortcuts.h"
#include "core/state/RecordingState.h"
#include "platform/PlatformServices.h"
#include "platform/WindowActivation.h"
#include "popover/PopoverHost.h"
#include "recording/LiveSpeechTranscriber.h"
#include "settings/shortcuts/ShortcutCaptureHost.h"
#include "shell/ShellHost.h"
#include "shell/indicator/RecordingIndicatorHost.h"
#include "shell/windows/ActivationPolicy.h"
#include "shell/windows/WindowHost.h"

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QRectF>
#include <QString>

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class QTimer;
class QWidget;
class VoiceActivityDetector;
class WhisperWrapper;
class AudioConverter;
class AudioStream;
struct AudioBuffer;
class FocusFieldDetector;
class FirstLaunchWindow;
class ModelDownloads;
class PopoverPanel;
class SettingsWindow;
class StatusItem;
class PopoverViewModel;
class Updater;
class TextInserter;
class TaskbarEntries;
class TaskbarPresence;
struct HotkeyEvent;

// The application controller: one object for the life of the process. It
// owns the dictation pipeline (hotkey, capture, trimming, transcription,
// insertion, model loading), the live preview and the tray shell, and forwards
// each subsystem's work to that subsystem's classes. Its member functions live
// in controller/AppDelegate*.cpp, one file per concern.
class AppDelegate : public QObject,
                    public RecordingStateDelegate,
                    public StreamingTranscriberDelegate,
                    public ShellHost,
                    public PopoverHost,
                    public ShortcutCaptureHost,
                    public RecordingIndicatorHost,
                    public WindowHost {
    Q_OBJECT
    Q_PROPERTY(QString statusIconName READ statusIconName WRITE setStatusIconName NOTIFY statusIconNameChanged)

public:
    explicit AppDelegate(PlatformServices services, QObject* parent = nullptr);
    ~AppDelegate() override;

    // Lifecycle.
    void applicationDidFinishLaunching();
    void ensureHotkeysSetupIfNeeded();
    void firstLaunchCompleted();
    // Always lets the loaded model go; the next recording loads the active one.
    void activeModelChanged();
    // A model chosen (or deleted) in the store: the loaded model stays when
    // it is still the active one, and goes as above otherwise.
    void modelChosen();
    void firstModelDownloaded();
    void applicationWillTerminate();
    void recordingStateDidChange(const RecordingState& state) override;
    void recordingDidComplete() override;

    // Global hotkey.
    void setupGlobalHotkey();
    // Returns true when the event is consumed (not passed on).
    bool handleGlobalEvent(const HotkeyEvent& event);

    // Capture.
    void setupAudioEngine();
    void startRecording();
    void stopRecording();
    void cancelRecording();
    void resetAudioEngine();
    // Removes the tap, stops the stream if it runs and releases it.
    void stopAudioEngine();
    void handleAudioConversionError(const QString& message);
    void showAudioSetupError();
    // The "Audio Recording Failed" alert, unless one is already up.
    void showRecordingFailure(const QString& error);

    // Stopping and transcription. The recording mode is taken when the
    // recording stops and travels with the job.
    void stopRecordingAndTranscribe();
    // Ends a stopped recording whose tail wait is still running: stops the
    // stream and hands the audio to transcription. Every operation that
    // touches the recording calls it first.
    void finishPendingStop();
    void transcribeAudio();
    void processPendingTranscription(std::vector<float> audio, double sampleRate, RecordingMode mode);
    void performTranscription(std::vector<float> audio, double sampleRate, RecordingMode mode);

    // Text insertion.
    void injectText(const QString& text, RecordingMode mode);
    static QString sanitizeText(const QString& text);

    // Model loading.
    void ensureModelLoaded(std::function<void(bool)> completion);
    bool loadWhisperModelSync();
    void showModelError(const QString& message);
    void answerModelLoadWaiters();

    // Live preview.
    void setupLiveSpeechTranscriber();
    void createStreamingWindow();
    void showStreamingWindow();
    void hideStreamingWindow();
    void cleanupStreamingUI();
    void startLiveSpeechStreamingIfEnabled();
    void startLiveSpeechRecognition();
    void stopLiveSpeechStreaming();
    void transcriberDidReceivePartialResult(LiveSpeechTranscriber& transcriber, const QString& text) override;
    void transcriberDidReceiveFinalResult(LiveSpeechTranscriber& transcriber, const QString& text) override;
    void transcriberDidEncounterError(LiveSpeechTranscriber& transcriber, const TranscriberError& error) override;
    static QString getUserFriendlyErrorMessage(const TranscriberError& error);

    // Tray shell and windows: the tray, the popover panel and the windows are
    // shell classes these operations drive.
    void setupMenuBar();
    void togglePopover(TrayClick click = TrayClick::left) override;
    void showPopover();
    void resizePopover(bool expanded);
    void closePopover();
    void showContextMenu();
    void showFocusIndicator();
    void hideFocusIndicator();
    // Fixed layout values the controller holds; the indicator panel does not
    // use them, its geometry comes from its own view.
    static constexpr double controlCenterCornerRadius = 22;
    static constexpr double windowWidth = 360;
    static constexpr double windowHeight = 90;
    static constexpr double windowMargin = 20;
    static constexpr double windowTopMargin = 40;
    static constexpr double contentPadding = 20;
    static constexpr double iconTextSpacing = 14;
    static constexpr double showAnimationDuration = 0.25;
    static constexpr double hideAnimationDuration = 0.2;
    static constexpr double animationSlideOffset = 20;
    static constexpr double hideAnimationSlideOffset = 10;
    void createRecordingProgressWindow();
    // Without a field rectangle the panel goes to its fallback position.
    void showRecordingProgressWindow(const std::optional<QRectF>& near);
    void hideRecordingProgressWindow();
    void cancelIndicatedRecording() override;
    void finishIndicatedRecording() override;
    // Shows recording when `recording` is true, else working when
    // `transcribing` is, else idle, applied on the main queue. The state when
    // it is applied adds to the request: a recording that runs keeps its
    // icon, and so does work under way (a transcription, or one waiting for a
    // running load). Callers on any thread.
    void updateStatusIcon(bool recording = false, bool transcribing = false);
    void checkForUpdates() override;
    // Also what the window manager opens Settings through (WindowHost).
    void showSettings() override;
    void showFirstLaunchWindow();
    // Another start by this user asks the running one to show itself; the
    // window shown comes to the front as of that start (`token`).
    void handleSecondStart(const ActivationToken& token = {});
    void windowDidMove(QWidget* window) override;
    void windowWillClose(QWidget* window) override;
    ActivationPolicy::Policy activationPolicy() const { return applicationPolicy->policy(); }
    // The taskbar switch of a general settings page: on is the regular
    // policy, off the accessory one.
    std::shared_ptr<TaskbarPresence> taskbarPresence() const;

    // What the popover's content asks of the controller (PopoverHost), in
    // AppDelegatePopover.cpp.
    void resizePopoverPanel(bool expanded) override;
    void openSettings() override;
    void startStudioRecording() override;
    void stopStudioRecording() override;
    bool isCapturing() const override;
    RecordingMode recordingMode() const override;

    // While a shortcut is being captured in Settings, in AppDelegateHotkey.cpp.
    void setGlobalShortcutsSuspended(bool suspended) override;
    bool refuseTakenShortcut(const KeyboardShortcut& shortcut) override;
    bool isShortcutTaken(const KeyboardShortcut& shortcut) const override;

    QString statusIconName() const;
    void setStatusIconName(const QString& name);

    bool isRecording() const { return recordingInProgress.load(); }
    RecordingStateManager& recordingStateManager() const { return *ownedRecordingStateManager; }
    const PlatformServices& services() const { return platformServices; }

signals:
    void statusIconNameChanged(const QString& name);

private:
    friend struct LivePreviewTestAccess;
    friend class ModelLoadingTestAccess;
    friend struct ShellTestAccess;
    // The content the popover panel and the Settings window host; nullptr
    // keeps the shell's placeholder.
    QWidget* makePopoverContent();
    QWidget* makeSettingsContent();
    // The input tap: runs on the capture thread for every captured buffer.
    void handleCapturedBuffer(const AudioBuffer& buffer);
    // Ends what a recording that failed to start, or broke off, still shows.
    void abandonFailedRecording();

    struct PendingTranscription {
        std::vector<float> audioData;
        double sampleRate;
        RecordingMode mode;
    };

    PlatformServices platformServices;

    std::shared_ptr<Updater> updaterController;
    QPointer<SettingsWindow> settingsWindow;
    // Present while the global shortcuts are armed.
    std::shared_ptr<HotkeyTap> eventTap;
    // The stored shortcuts another program holds, each announced once.
    TakenShortcuts takenShortcuts;
    // Reads which stored shortcuts the tap could not arm; announces new ones.
    void noteTakenShortcuts();
    void announceTakenShortcut(const KeyboardShortcut& shortcut);
    QPointer<QTimer> permissionCheckTimer;
    bool hasAttemptedPermissionRequest = false;
    // Termination has begun: no window, menu or update check opens.
    bool terminating = false;
    std::unique_ptr<StatusItem> statusItem;
    QPointer<PopoverPanel> popoverWindow;
    std::shared_ptr<PopoverViewModel> popoverViewModel;
    QPointer<QObject> popoverEventMonitor;
    QPointer<FirstLaunchWindow> firstLaunchWindow;
    // The model downloads every window shows, whichever started them.
    std::shared_ptr<ModelDownloads> modelDownloads;
    // Regular while the Settings or welcome window is open, else accessory.
    std::unique_ptr<ActivationPolicy> applicationPolicy = std::make_unique<ActivationPolicy>();
    // Applies the policy to the windows; none without the platform service.
    std::unique_ptr<TaskbarEntries> taskbarEntries;
    // The icon the state calls for; main thread.
    QString statusIconForState(bool recording, bool transcribing);
    mutable std::mutex statusIconMutex;
    QString currentStatusIconName = QStringLiteral("mic.circle");
    static constexpr double whisperSampleRate = 16000.0;
    // The capture stream of the current recording.
    std::shared_ptr<AudioStream> audioEngine;

    // The recording buffer and the detector state below are shared with the
    // capture thread; audioMutex guards them for short sections.
    std::mutex audioMutex;
    std::vector<float> audioData;
    std::atomic<bool> recordingInProgress{false};
    // A stop waits out the recording's tail on the event loop.
    bool stopPending = false;
    // The mode of that stopped recording: a start during the wait sets its
    // own, and the stopped one must still be typed or kept in the studio.
    RecordingMode stoppedRecordingMode = RecordingMode::pushToTalk;
    uint64_t stopCount = 0;
    double lastToggleTime = 0;
    static constexpr double toggleDebounceInterval = 0.3;
    // The key of the last key-down the tap delivered, until its key-up: a
    // key-down of the same key meanwhile is its auto-repeat.
    std::optional<uint16_t> heldKeyCode;
    // An "Audio Recording Failed" alert is on screen: a failed start
    // meanwhile is logged, not alerted again.
    bool recordingFailureShown = false;
    std::shared_ptr<RecordingStateManager> ownedRecordingStateManager;
    double hardwareSampleRate = 48000;
    std::shared_ptr<AudioConverter> audioConverter;
    std::shared_ptr<VoiceActivityDetector> voiceActivityDetector;
    int64_t vadProcessedSamples = 0;
    std::vector<float> vadFrameBuffer;
    int64_t visualizationSampleCount = 0;

    // The bridge and the load flag are shared with the model-load queue and
    // the transcription queue; modelMutex guards the pointer and the queue
    // of recordings parked behind a load.
    std::mutex modelMutex;
    std::shared_ptr<WhisperWrapper> whisperWrapper;
    std::atomic<bool> isLoadingModel{false};
    Dispatch::SerialQueue modelLoadQueue{QStringLiteral("com.tallowind.modelload")};
    std::deque<PendingTranscription> pendingTranscriptions;
    // Main thread: recordings handed to transcription whose job has not
    // ended, and those waiting for the load their stop began. Parked
    // recordings are not counted: they are work only while a load runs.
    int transcriptionsUnderWay = 0;
    // Callers that asked for the model while a load ran; the load answers
    // them when it ends.
    std::vector<std::function<void(bool)>> modelLoadWaiters;
    // Bumped (under modelMutex) by every change of the active model: a load
    // publishes its bridge only when no change came while it ran.
    uint64_t modelGeneration = 0;
    // The file the bridge holds, or the one a running load reads; a choice
    // of that same model keeps it. modelMutex guards it.
    QString modelInUsePath;
    // "<file>: <reason>" of the last load that failed, empty after a
    // success; modelMutex guards it.
    QString modelLoadFailure;
    // Main thread: the failure the user was last told about, so each is
    // told once.
    QString reportedModelLoadFailure;

    // Loading helpers: each records and logs why a load found no model.
    bool failModelLoad(const QString& path, const QString& reason);
    void performParkedTranscriptions();
    // A load failed: the parked recordings wait for the next one that
    // succeeds, and the user is told why.
    void keepParkedTranscriptions();
    void reportModelLoadFailure();
    // A job that found no bridge (the model changed after its load) waits
    // for the next load instead of being dropped.
    void reparkTranscription(std::vector<float> audio, double sampleRate, RecordingMode mode);

    std::shared_ptr<LiveSpeechTranscriber> liveSpeechTranscriber;
    std::atomic<bool> isStreamingActive{false};
    std::shared_ptr<FocusFieldDetector> focusFieldDetector;
    QPointer<QWidget> recordingProgressWindow;
    QPointer<QWidget> recordingProgressHostingController;
    bool consumeHotkeyEvents = true;
    static constexpr double permissionCheckInterval = 1.0;

    std::vector<NotificationObservation> observations;

    // Pastes run one at a time on the inserter's queue; made on first use.
    TextInserter* textInserter();
    std::once_flag textInserterOnce;
    std::shared_ptr<TextInserter> sharedTextInserter;

    // Transcriptions run one after the other, in the order the recordings
    // ended, so their texts are pasted in that order too. Declared before the
    // guards: jobs still queued when the controller goes find it gone.
    Dispatch::SerialQueue transcriptionQueue{QStringLiteral("com.tallowind.transcription")};

    // Model-load and transcription jobs hold the controller weakly through
    // these guards. Last members: destruction waits here for a load or a
    // transcription step in progress before any other member goes.
    LifetimeGuard modelLoadLifetime;
    LifetimeGuard transcriptionLifetime;
};
