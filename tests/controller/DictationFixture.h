#pragma once

#include "base/Dispatch.h"
#include "base/NotificationCenter.h"
#include "controller/AppDelegate.h"
#include "core/state/RecordingState.h"
#include "support/FakeAccessibilityTrust.h"
#include "support/FakeAlertPresenter.h"
#include "support/FakeAudioCapture.h"
#include "support/FakeHotkeyTap.h"
#include "support/FakeKeySynthesizer.h"
#include "support/FakeMicrophonePermission.h"
#include "support/FakePasteboard.h"
#include "support/FakeSpeechRecognizer.h"
#include "support/FakeWorkspace.h"
#include "support/Patience.h"
#include "support/SettingsReset.h"

#include <QElapsedTimer>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

// Alt+W, the default dictation shortcut, as the hotkey tap reports it.
constexpr uint16_t keyW = 13;
constexpr uint32_t option = 0x80000;

// A controller on fake desktop services; the test plays the capture thread
// by handing buffers to the fake stream.
class DictationTest : public DefaultsTest {
protected:
    void SetUp() override
    {
        DefaultsTest::SetUp();
        services.hotkeyTap = std::make_shared<FakeHotkeyTap>();
        services.accessibilityTrust = std::make_shared<FakeAccessibilityTrust>();
        // The focused application reads the pasted text as soon as the chord
        // arrives, so a paste ends without waiting out the fallback.
        auto keys = std::make_shared<FakeKeySynthesizer>();
        auto board = std::make_shared<FakePasteboard>();
        keys->setOnChord([board] { board->simulateFetch(); });
        services.keySynthesizer = keys;
        services.pasteboard = board;
        services.audioCapture = capture;
        services.microphonePermission = permission;
        services.alertPresenter = alerts;
        services.speechRecognizer = std::make_shared<FakeSpeechRecognizer>();
        services.workspace = workspace;
        controller = std::make_unique<AppDelegate>(services);
        transcriptionUpdates = NotificationObservation("TranscriptionUpdated",
            [this](const Notification& note) { transcriptions.append(note.userInfo.value("text").toString()); });
    }

    void TearDown() override
    {
        // Let every model load and waiter finish before the controller goes:
        // a request made now completes after all of them.
        bool settled = false;
        controller->ensureModelLoaded([&settled](bool) { settled = true; });
        waitFor([&] { return settled; });
        Dispatch::drainMainQueue(3000, true);
        controller.reset();
        Dispatch::drainMainQueue(1000);
        DefaultsTest::TearDown();
    }

    // Starts a recording the way the shortcut handler and the studio do.
    void begin(RecordingMode mode = RecordingMode::studio)
    {
        controller->recordingStateManager().startRecording(mode);
        controller->startRecording();
    }

    // Stops the recording and ends its tail wait at once, which hands the
    // audio to transcription.
    void stopAndFinish()
    {
        controller->stopRecordingAndTranscribe();
        controller->finishPendingStop();
    }

    FakeAudioStream& stream() { return *capture->lastStream(); }

    // Hands `samples` to the tap in buffers of `chunk` frames.
    void deliver(const std::vector<float>& samples, size_t chunk = 375)
    {
        for (size_t at = 0; at < samples.size(); at += chunk) {
            const size_t count = std::min(chunk, samples.size() - at);
            stream().deliver(std::vector<float>(samples.begin() + static_cast<std::ptrdiff_t>(at),
                samples.begin() + static_cast<std::ptrdiff_t>(at + count)));
        }
    }

    // Runs the main queue until `done` holds; false after `timeoutMs`.
    static bool waitFor(const std::function<bool()>& done, int timeoutMs = Patience::transcription)
    {
        QElapsedTimer timer;
        timer.start();
        while (!done()) {
            if (timer.elapsed() > timeoutMs)
                return false;
            Dispatch::drainMainQueue(50);
            Dispatch::sleepFor(0.005);
        }
        return true;
    }

    QString statusIcon()
    {
        Dispatch::drainMainQueue();
        return controller->statusIconName();
    }

    std::shared_ptr<FakeAudioCapture> capture = std::make_shared<FakeAudioCapture>();
    std::shared_ptr<FakeMicrophonePermission> permission = std::make_shared<FakeMicrophonePermission>();
    std::shared_ptr<FakeAlertPresenter> alerts = std::make_shared<FakeAlertPresenter>();
    std::shared_ptr<FakeWorkspace> workspace = std::make_shared<FakeWorkspace>();
    PlatformServices services;
    std::unique_ptr<AppDelegate> controller;
    QStringList transcriptions;

private:
    NotificationObservation transcriptionUpdates;
};
