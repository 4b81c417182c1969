#include "shell/indicator/RecordingProgressViewModel.h"

#include "base/Dispatch.h"
#include "base/Published.h"
#include "recording/RecordingManager.h"

#include <QPointer>

RecordingProgressViewModel::RecordingProgressViewModel(QObject* parent) : QObject(parent), levels(historyLength, 0.0f)
{
    setupBindings();
}

void RecordingProgressViewModel::setupBindings()
{
    RecordingManager& store = RecordingManager::shared();
    // Queued: every value reaches the model on the main queue, and a value
    // still queued when the model goes is dropped with the connection.
    connect(&store, &RecordingManager::audioLevelChanged, this, &RecordingProgressViewModel::updateAudioLevel,
        Qt::QueuedConnection);
    connect(&store, &RecordingManager::isRecordingChanged, this, &RecordingProgressViewModel::setIsRecording,
        Qt::QueuedConnection);
    // A subscriber hears the current values first.
    Dispatch::main().async([self = QPointer<RecordingProgressViewModel>(this)] {
        if (!self)
            return;
        self->updateAudioLevel(RecordingManager::shared().audioLevel());
        self->setIsRecording(RecordingManager::shared().isRecording());
    });
}

void RecordingProgressViewModel::setIsRecording(bool value)
{
    publish(this, recording, value, &RecordingProgressViewModel::isRecordingChanged);
}

void RecordingProgressViewModel::setAudioLevels(const QList<float>& value)
{
    publish(this, levels, value, &RecordingProgressViewModel::audioLevelsChanged);
}

void RecordingProgressViewModel::updateAudioLevel(float level)
{
    QList<float> next = levels;
    next.prepend(level);
    while (next.size() > historyLength)
        next.removeLast();
    setAudioLevels(next);
}
