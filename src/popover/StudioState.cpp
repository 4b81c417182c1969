#include "popover/StudioState.h"

#include "base/Published.h"
#include "popover/PopoverViewModel.h"
#include "shell/theme/MotionTransaction.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QPointer>
#include <QTimer>

#include <cmath>

namespace {

const QString transcriptionUpdated = QStringLiteral("TranscriptionUpdated");
const QString textKey = QStringLiteral("text");

} // namespace

StudioState::StudioState(PopoverViewModel& model, Scheduler scheduler, QObject* parent)
    : QObject(parent), viewModel(model), schedule(std::move(scheduler)), timer(new QTimer(this))
{
    if (!schedule) {
        schedule = [this](double seconds, std::function<void()> work) {
            QTimer::singleShot(static_cast<int>(std::lround(seconds * 1000.0)), this, std::move(work));
        };
    }
    timer->setInterval(timerIntervalMs);
    connect(timer, &QTimer::timeout, this, &StudioState::timerDidFire);
    connect(&viewModel, &PopoverViewModel::recordingFailed, this, &StudioState::recordingDidFail);
}

void StudioState::setTranscribedText(const QString& value)
{
    const bool changed = value != text;
    text = value;
    emit transcribedTextChanged(text);
    if (changed)
        transcriptDidChange(text);
}

void StudioState::transcriptDidChange(const QString& newText)
{
    if (!newText.isEmpty() && !viewModel.isExpanded() && !recording)
        viewModel.setExpanded(true);
}

void StudioState::toggleRecording()
{
    if (recording)
        stopRecording();
    else
        startRecording();
}

void StudioState::startRecording()
{
    PopoverHost* host = viewModel.host();
    // A shortcut's dictation keeps the microphone until its own stop: a start
    // here would throw its speech away. The studio stays idle and shows the
    // dictation's text when it arrives.
    if (host && host->isCapturing() && host->recordingMode() != RecordingMode::studio) {
        observeTranscripts();
        return;
    }

    setIsRecording(true);
    setRecordingTime(0.0);
    timer->start();

    if (!host)
        return;
    host->startStudioRecording();
    // Also after a failed start (which has put the studio back to idle):
    // shortcut dictations show up here from the first click on.
    observeTranscripts();
}

void StudioState::stopRecording()
{
    const bool studioWasRecording = recording;
    setIsRecording(false);
    timer->stop();

    PopoverHost* host = viewModel.host();
    if (host && studioWasRecording && host->isCapturing() && host->recordingMode() == RecordingMode::studio)
        host->stopStudioRecording();
}

void StudioState::recordingDidFail()
{
    if (!recording)
        return;
    setIsRecording(false);
    timer->stop();
}

// Once registered the observer stays: the studio's transcript arrives after
// the stop, and later shortcut dictations show up here too.
void StudioState::observeTranscripts()
{
    if (transcriptObserverRegistered)
        return;
    transcriptObserverRegistered = true;
    QPointer<StudioState> self(this);
    transcriptObserver = NotificationObservation(transcriptionUpdated, [self](const Notification& note) {
        const QVariant value = note.userInfo.value(textKey);
        if (value.typeId() != QMetaType::QString)
            return;
        const QString transcript = value.toString();
        if (!self)
            return;
        // The controller posts on the main queue; a poster on another thread
        // still only reaches the studio there.
        QMetaObject::invokeMethod(
            self.data(),
            [self, transcript] {
                if (self)
                    self->setTranscribedText(transcript);
            },
            Qt::AutoConnection);
    });
}

void StudioState::copyText()
{
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        clipboard->setText(text, QClipboard::Clipboard);
    {
        const MotionTransaction easing(TallowindTheme::Animation::easeInOut());
        setShowCopiedAlert(true);
    }
    QPointer<StudioState> self(this);
    schedule(copiedAlertSeconds, [self] {
        const MotionTransaction easing(TallowindTheme::Animation::easeInOut());
        if (self)
            self->setShowCopiedAlert(false);
    });
}

void StudioState::clearText()
{
    const MotionTransaction easing(TallowindTheme::Animation::easeInOut());
    setTranscribedText(QString());
    if (viewModel.isExpanded())
        viewModel.setExpanded(false);
}

void StudioState::viewDidDisappear()
{
    stopRecording();
}

QString StudioState::formatTime(double seconds)
{
    const auto whole = static_cast<long long>(std::trunc(seconds));
    return QString::asprintf("%02lld:%02lld", whole / 60, whole % 60);
}

void StudioState::timerDidFire()
{
    setRecordingTime(elapsed + timerStep);
}

bool StudioState::isTimerRunning() const
{
    return timer->isActive();
}

void StudioState::setIsRecording(bool value)
{
    publish(this, recording, value, &StudioState::isRecordingChanged);
}

void StudioState::setRecordingTime(double value)
{
    publish(this, elapsed, value, &StudioState::recordingTimeChanged);
}

void StudioState::setShowCopiedAlert(bool value)
{
    publish(this, copiedAlert, value, &StudioState::showCopiedAlertChanged);
}
